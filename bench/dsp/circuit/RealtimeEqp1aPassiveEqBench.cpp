// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/circuit/RealtimeEqp1aPassiveEq.h"

#include <benchmark/benchmark.h>

namespace
{
using namespace hesko::dsp;

// One full build: component values, network, factorisation and state-space extraction.
void passiveEqPrepare(benchmark::State& state)
{
    circuit::RealtimeEqp1aPassiveEq eq;
    PultecEqParameters p{LowFrequency::hz60,        7.0f, 3.0f, HighBoostFrequency::khz12, 6.0f, 4.0f,
                         HighAttenFrequency::khz10, 2.0f};
    float toggle = 0.0f;
    for (auto _ : state)
    {
        p.highBoost = 6.0f + toggle;
        toggle = 0.5f - toggle;
        eq.prepare(192000.0, p);
        benchmark::DoNotOptimize(eq.getCircuit().getDirectGain());
    }
}
BENCHMARK(passiveEqPrepare);
} // namespace

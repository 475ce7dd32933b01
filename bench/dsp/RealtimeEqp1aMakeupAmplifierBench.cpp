// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/RealtimeEqp1aMakeupAmplifier.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
using hesko::dsp::RealtimeEqp1aMakeupAmplifier;
constexpr std::size_t blockLength = 2048;

std::vector<double> tone(double phase)
{
    std::vector<double> x(blockLength);
    for (std::size_t n = 0; n < blockLength; ++n)
        x[n] = 0.8 * std::sin(2.0 * 3.141592653589793 * 1000.0 * static_cast<double>(n) / 192000.0 + phase);
    return x;
}

RealtimeEqp1aMakeupAmplifier amplifier(bool noise, std::uint32_t seed)
{
    RealtimeEqp1aMakeupAmplifier amp;
    amp.prepare(192000.0);
    amp.setNoiseSeed(seed);
    amp.setAnalogNoiseEnabled(noise);
    return amp;
}

benchmark::Counter perItem()
{
    return benchmark::Counter(static_cast<double>(blockLength),
                              benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void amplifierMono(benchmark::State& state)
{
    auto amp = amplifier(state.range(0) != 0, 1);
    const auto x = tone(0.0);
    for (auto _ : state)
    {
        double sum = 0.0;
        for (double v : x)
            sum += amp.processSample(v);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["per_sample"] = perItem();
}

void amplifierStereoFrame(benchmark::State& state)
{
    auto left = amplifier(state.range(0) != 0, 1);
    auto right = amplifier(state.range(0) != 0, 2);
    const auto l = tone(0.0), r = tone(1.0);
    for (auto _ : state)
    {
        double sum = 0.0;
        for (std::size_t n = 0; n < blockLength; ++n)
        {
            const auto [a, b] = RealtimeEqp1aMakeupAmplifier::processStereoSample(left, right, l[n], r[n]);
            sum += a + b;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["per_frame"] = perItem();
}

void amplifierStereoBlock(benchmark::State& state)
{
    auto left = amplifier(state.range(0) != 0, 1);
    auto right = amplifier(state.range(0) != 0, 2);
    const auto l = tone(0.0), r = tone(1.0);
    auto bl = l, br = r;
    for (auto _ : state)
    {
        bl = l;
        br = r;
        RealtimeEqp1aMakeupAmplifier::processStereoBlock(left, right, bl.data(), br.data(), blockLength);
        benchmark::DoNotOptimize(bl.data());
    }
    state.counters["per_frame"] = perItem();
}

BENCHMARK(amplifierMono)->ArgName("noise")->Arg(0)->Arg(1);
BENCHMARK(amplifierStereoFrame)->ArgName("noise")->Arg(0)->Arg(1);
BENCHMARK(amplifierStereoBlock)->ArgName("noise")->Arg(0)->Arg(1);
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/circuit/AutomatedEqp1aPassiveEq.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

namespace
{
using namespace hesko::dsp;
using circuit::AutomatedEqp1aPassiveEq;
constexpr int blockSize = 64;
constexpr double rate = 192000.0;

PultecEqParameters setting(int k)
{
    return {LowFrequency::hz60,
            static_cast<float>(k % 10),
            2.0f,
            HighBoostFrequency::khz12,
            5.0f,
            4.0f,
            HighAttenFrequency::khz10,
            1.0f};
}

void runBlock(AutomatedEqp1aPassiveEq& eq)
{
    double sum = 0.0;
    for (int i = 0; i < blockSize; ++i)
    {
        const auto [l, r] = eq.processStereoSample(0.1 * i, -0.05 * i);
        sum += l + r;
    }
    benchmark::DoNotOptimize(sum);
}

// Wall time from a request to the block whose start hands over the compiled circuit: worker poll,
// compile and the next block. Blocks run back to back here, not at the real 64 / 192000 s pace.
void requestToFadeStart(benchmark::State& state)
{
    AutomatedEqp1aPassiveEq eq;
    eq.prepare(rate, setting(0));
    int k = 1;
    std::int64_t blocks = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        eq.requestParameters(setting(k++));
        do
        {
            eq.beginBlock(false);
            runBlock(eq);
            ++blocks;
        } while (!eq.isTransitioning());
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        while (eq.isTransitioning())
            runBlock(eq);
    }
    state.counters["blocks"] =
        benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kAvgIterations);
}

void steadyBlock(benchmark::State& state)
{
    AutomatedEqp1aPassiveEq eq;
    eq.prepare(rate, setting(3));
    for (auto _ : state)
    {
        eq.beginBlock(false);
        runBlock(eq);
    }
}

void fadingBlock(benchmark::State& state)
{
    AutomatedEqp1aPassiveEq eq;
    eq.prepare(rate, setting(3));
    int k = 4;
    for (auto _ : state)
    {
        if (!eq.isTransitioning())
        {
            state.PauseTiming();
            const auto compiled = eq.getCompletedCompilationCount();
            eq.requestParameters(setting(k++));
            while (eq.getCompletedCompilationCount() == compiled)
                std::this_thread::yield();
            eq.beginBlock(false);
            state.ResumeTiming();
        }
        eq.beginBlock(false);
        runBlock(eq);
    }
}

BENCHMARK(requestToFadeStart)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(steadyBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(fadingBlock)->Unit(benchmark::kMicrosecond);
} // namespace

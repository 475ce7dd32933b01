// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/circuit/RealtimeLinearCircuit.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
using hesko::dsp::circuit::RealtimeLinearCircuit;

// A ladder from input node 1 through nine unknown nodes; `reactive` of its shunt branches are
// capacitors or inductors, the rest resistors. Five states gives the passive EQ's size (9 unknowns).
RealtimeLinearCircuit ladder(int reactive)
{
    RealtimeLinearCircuit c;
    c.prepare(192000.0);
    const int nodes = reactive > 9 ? reactive + 1 : 10;
    for (int i = 0; i < nodes; ++i)
        c.addNode();
    for (int k = 1; k < nodes; ++k)
    {
        c.addResistor(k, k + 1, 100.0 * k);
        const int shunt = k + 1;
        if (k <= reactive)
        {
            if (k % 3 == 0)
                c.addInductor(shunt, 0, 0.1 * k);
            else
                c.addCapacitor(shunt, 0, 1e-8 * k);
        }
        else
        {
            c.addResistor(shunt, 0, 10000.0 * k);
        }
    }
    c.addResistor(nodes, 0, 600.0);
    c.compile(1, nodes);
    return c;
}

std::vector<double> signal(std::size_t length)
{
    std::vector<double> x(length);
    for (std::size_t n = 0; n < length; ++n)
        x[n] = std::sin(0.013 * static_cast<double>(n)) + 0.25 * std::sin(0.77 * static_cast<double>(n));
    return x;
}

constexpr std::size_t blockLength = 4096;

// Seconds per processed item (printed with an SI prefix, e.g. 20n = 20 ns).
benchmark::Counter perItem(std::size_t itemsPerIteration)
{
    return benchmark::Counter(static_cast<double>(itemsPerIteration),
                              benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void monoStep(benchmark::State& state)
{
    auto c = ladder(static_cast<int>(state.range(0)));
    const auto x = signal(blockLength);
    for (auto _ : state)
    {
        double sum = 0.0;
        for (double v : x)
            sum += c.processSample(v);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["states"] = static_cast<double>(c.getReactiveCount());
    state.counters["per_sample"] = perItem(blockLength);
}

void stereoStep(benchmark::State& state)
{
    auto c = ladder(static_cast<int>(state.range(0)));
    const auto x = signal(blockLength);
    for (auto _ : state)
    {
        double sum = 0.0;
        for (std::size_t n = 0; n < blockLength; ++n)
        {
            const auto [l, r] = c.processStereoSample(x[n], x[blockLength - 1 - n]);
            sum += l + r;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["states"] = static_cast<double>(c.getReactiveCount());
    state.counters["per_frame"] = perItem(blockLength);
}

void compileFiveStates(benchmark::State& state)
{
    const auto prototype = ladder(5);
    for (auto _ : state)
    {
        auto c = prototype;
        c.compile(1, prototype.getOutputNode());
        benchmark::DoNotOptimize(c.getDirectGain());
    }
    state.counters["unknowns"] = static_cast<double>(prototype.getUnknownCount());
    state.counters["states"] = static_cast<double>(prototype.getReactiveCount());
}

BENCHMARK(monoStep)->Arg(5)->Arg(16);
BENCHMARK(stereoStep)->Arg(5)->Arg(16);
BENCHMARK(compileFiveStates);
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// Real-time factor of processBlock (audio seconds per processing second) and the cost of each stage.
#include "ParameterIds.h"
#include "PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <thread>

namespace
{
constexpr int blockSize = 512;

void setPlain(AmberslopeAudioProcessor& p, const char* id, float value)
{
    auto* parameter = p.parameters.getParameter(id);
    parameter->setValueNotifyingHost(parameter->convertTo0to1(value));
}

// Arguments: host rate, channels, fading (0/1), noise (0/1).
void processBlockRealtimeFactor(benchmark::State& state)
{
    juce::ScopedJuceInitialiser_GUI juce;
    const double rate = static_cast<double>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const bool fading = state.range(2) != 0;

    AmberslopeAudioProcessor processor;
    processor.setPlayConfigDetails(channels, channels, rate, blockSize);
    setPlain(processor, "lowBoost", 6.0f);
    setPlain(processor, "highBoost", 4.0f);
    setPlain(processor, "analogNoise", state.range(3) != 0 ? 1.0f : 0.0f);
    processor.prepareToPlay(rate, blockSize);

    juce::AudioBuffer<float> buffer(channels, blockSize);
    juce::MidiBuffer midi;
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < blockSize; ++i)
            buffer.setSample(ch, i, 0.3f * std::sin(0.05f * static_cast<float>(i + ch)));
    processor.processBlock(buffer, midi);

    int k = 0;
    for (auto _ : state)
    {
        if (fading)
        {
            // A new circuit waits in the queue, so this block starts (and mostly runs) a 5 ms fade.
            state.PauseTiming();
            const auto applied = processor.getCircuitHealth().requestedSequence;
            setPlain(processor, "lowBoost", static_cast<float>(k++ % 2 == 0 ? 7 : 6));
            processor.updateDspParameters();
            while (processor.getCircuitHealth().requestedSequence == applied)
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(4)); // the worker compiles
            state.ResumeTiming();
        }
        processor.processBlock(buffer, midi);
        benchmark::DoNotOptimize(buffer.getReadPointer(0));
    }
    state.counters["realtime_x"] =
        benchmark::Counter(blockSize / rate, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["factor"] = static_cast<double>(processor.getOversamplingFactor());
}

void processBlockArguments(benchmark::internal::Benchmark* b)
{
    for (int rate : {44100, 48000, 96000})
        for (int channels : {2, 1})
            for (int fading : {0, 1})
                for (int noise : {0, 1})
                    b->Args({rate, channels, fading, noise});
    b->ArgNames({"rate", "ch", "fading", "noise"});
}
BENCHMARK(processBlockRealtimeFactor)->Apply(processBlockArguments)->Unit(benchmark::kMicrosecond);

// The stages alone, per 512-sample stereo host block at 48 kHz (4x: 2048 processing frames).
void stageOversampling(benchmark::State& state)
{
    juce::dsp::Oversampling<float> oversampler(
        2, 2, juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, true, true);
    oversampler.initProcessing(blockSize);
    juce::AudioBuffer<float> buffer(2, blockSize);
    buffer.clear();
    juce::dsp::AudioBlock<float> block(buffer);
    for (auto _ : state)
    {
        auto up = oversampler.processSamplesUp(block);
        benchmark::DoNotOptimize(up.getChannelPointer(0));
        oversampler.processSamplesDown(block);
    }
}
BENCHMARK(stageOversampling)->Unit(benchmark::kMicrosecond);

void stageEqualizer(benchmark::State& state)
{
    hesko::dsp::circuit::AutomatedEqp1aPassiveEq eq;
    eq.prepare(192000.0, {hesko::dsp::LowFrequency::hz60, 6.0f, 0.0f, hesko::dsp::HighBoostFrequency::khz8,
                          4.0f, 5.0f, hesko::dsp::HighAttenFrequency::khz10, 0.0f});
    for (auto _ : state)
    {
        double sum = 0.0;
        for (int i = 0; i < 4 * blockSize; ++i)
        {
            const auto [l, r] = eq.processStereoSample(0.001 * i, -0.001 * i);
            sum += l + r;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(stageEqualizer)->Unit(benchmark::kMicrosecond);

void stageAmplifiers(benchmark::State& state)
{
    hesko::dsp::RealtimeEqp1aMakeupAmplifier left, right;
    left.prepare(192000.0);
    right.prepare(192000.0);
    double l[64], r[64];
    for (auto _ : state)
        for (int chunk = 0; chunk < 4 * blockSize / 64; ++chunk)
        {
            for (int i = 0; i < 64; ++i)
                l[i] = r[i] = 0.2 * std::sin(0.01 * i);
            hesko::dsp::RealtimeEqp1aMakeupAmplifier::processStereoBlock(left, right, l, r, 64);
            benchmark::DoNotOptimize(l);
        }
}
BENCHMARK(stageAmplifiers)->Unit(benchmark::kMicrosecond);

void stageTrim(benchmark::State& state)
{
    juce::SmoothedValue<double, juce::ValueSmoothingTypes::Multiplicative> trim(1.0);
    trim.reset(960);
    juce::AudioBuffer<float> buffer(2, blockSize);
    buffer.clear();
    int k = 0;
    for (auto _ : state)
    {
        trim.setTargetValue(k++ % 2 ? 2.0 : 0.5);
        for (int j = 0; j < blockSize; ++j)
        {
            const auto g = static_cast<float>(trim.getNextValue());
            buffer.getWritePointer(0)[j] *= g;
            buffer.getWritePointer(1)[j] *= g;
        }
        benchmark::DoNotOptimize(buffer.getReadPointer(0));
    }
}
BENCHMARK(stageTrim)->Unit(benchmark::kMicrosecond);
} // namespace

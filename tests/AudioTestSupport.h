// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "ParameterIds.h"
#include "ParameterMapping.h"
#include "PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <utility>
#include <vector>

namespace hesko::test
{

using Settings = std::vector<std::pair<const char*, float>>;

// The host-normalised value of a plain value of one of our parameters.
inline float normalisedValue(const char* id, float plain)
{
    static AmberslopeAudioProcessor reference;
    auto* parameter = reference.parameters.getParameter(id);
    jassert(parameter != nullptr);
    return parameter->convertTo0to1(plain);
}

inline int parameterIndex(const char* id)
{
    for (std::size_t i = 0; i < parameter_ids::all.size(); ++i)
        if (juce::String(parameter_ids::all[i]) == id)
            return static_cast<int>(i);
    jassertfalse;
    return -1;
}

// Sets a parameter by ID in plain units, as a host would: through the parameter list in host order.
// Works for our processor and for the plug-in loaded through VST3 hosting alike.
inline void setPlain(juce::AudioProcessor& processor, const char* id, float plain)
{
    processor.getParameters()[parameterIndex(id)]->setValueNotifyingHost(normalisedValue(id, plain));
}

inline void applySettings(juce::AudioProcessor& processor, const Settings& settings)
{
    for (const auto& [id, value] : settings)
        setPlain(processor, id, value);
}

// The record a processor would request from its current parameters.
inline dsp::PultecEqParameters requestedRecord(AmberslopeAudioProcessor& processor)
{
    PlainParameterValues plain{};
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = processor.parameters.getRawParameterValue(parameter_ids::all[i])->load();
    return mapParameters(plain).equalizer;
}

inline std::vector<float> tone(double rate, const std::vector<double>& frequencies, double amplitude,
                               std::size_t length)
{
    std::vector<float> x(length);
    for (std::size_t n = 0; n < length; ++n)
    {
        double v = 0.0;
        for (double f : frequencies)
            v += amplitude * std::sin(2.0 * std::numbers::pi * f * static_cast<double>(n) / rate);
        x[n] = static_cast<float>(v);
    }
    return x;
}

// Runs `input` (the same on every channel) through the processor in blocks; returns each channel.
template <typename Sample>
std::vector<std::vector<double>> render(juce::AudioProcessor& processor, const std::vector<float>& input,
                                        int channels, int blockSize)
{
    std::vector<std::vector<double>> out(static_cast<std::size_t>(channels));
    juce::AudioBuffer<Sample> buffer(channels, blockSize);
    juce::MidiBuffer midi;
    for (std::size_t start = 0; start < input.size(); start += static_cast<std::size_t>(blockSize))
    {
        const int length = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(blockSize), input.size() - start));
        buffer.setSize(channels, length, false, false, true);
        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < length; ++i)
                buffer.setSample(ch, i, static_cast<Sample>(input[start + static_cast<std::size_t>(i)]));
        processor.processBlock(buffer, midi);
        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < length; ++i)
                out[static_cast<std::size_t>(ch)].push_back(static_cast<double>(buffer.getSample(ch, i)));
    }
    return out;
}

// The processor's delay in host samples: the phase delay of its impulse response at 1 kHz, where the
// amplifier's coupling high-passes no longer turn the phase and the over-samplers' IIR filters are
// still at their low-frequency delay (they smear an impulse, so its peak is not where the delay is).
template <typename Sample> double measureDelay(juce::AudioProcessor& processor, double rate, int blockSize)
{
    const std::size_t at = static_cast<std::size_t>(blockSize) * 20;
    std::vector<float> input(at + 8192, 0.0f);
    input[at] = 1.0f;
    const auto out =
        render<Sample>(processor, input, std::max(1, processor.getTotalNumInputChannels()), blockSize);
    const double w = 2.0 * std::numbers::pi * 1000.0 / rate;
    std::complex<double> h = 0.0;
    for (std::size_t i = at - 64; i < out[0].size(); ++i)
        h += out[0][i] * std::polar(1.0, -w * (static_cast<double>(i) - static_cast<double>(at)));
    return -std::arg(h) / w;
}

// Small-signal level in dB of each tone of a multi-tone at amplitude 0.01 per tone, settled, over one
// second of whole periods (integer-hertz tones), so the tones do not leak into each other.
inline std::vector<double> measureResponseDb(juce::AudioProcessor& processor, double rate,
                                             const std::vector<double>& frequencies, int blockSize = 512)
{
    const auto settle = static_cast<std::size_t>(rate);
    const auto window = static_cast<std::size_t>(rate);
    const auto input = tone(rate, frequencies, 0.01, settle + window);
    const auto out = render<float>(processor, input, 2, blockSize)[0];
    std::vector<double> levels;
    for (double f : frequencies)
    {
        std::complex<double> sum = 0.0;
        for (std::size_t n = settle; n < settle + window; ++n)
            sum += out[n] * std::polar(1.0, -2.0 * std::numbers::pi * f * static_cast<double>(n) / rate);
        levels.push_back(20.0 * std::log10(2.0 * std::abs(sum) / static_cast<double>(window) / 0.01));
    }
    return levels;
}

inline std::vector<double> measureResponseDb(double rate, const Settings& settings,
                                             const std::vector<double>& frequencies)
{
    AmberslopeAudioProcessor processor;
    applySettings(processor, settings);
    processor.prepareToPlay(rate, 512);
    return measureResponseDb(processor, rate, frequencies);
}

} // namespace hesko::test

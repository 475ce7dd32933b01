// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "TestSignals.h"

#include <cmath>
#include <numbers>

namespace hesko::hosting
{
namespace
{
constexpr double pi = std::numbers::pi;

int lengthOf(double sampleRate, double seconds)
{
    return std::max(1, static_cast<int>(std::lround(sampleRate * seconds)));
}

void copyLeftToRight(juce::AudioBuffer<float>& buffer)
{
    buffer.copyFrom(1, 0, buffer, 0, 0, buffer.getNumSamples());
}
} // namespace

juce::AudioBuffer<float> TestSignals::sweep(double sampleRate, double seconds)
{
    const int n = lengthOf(sampleRate, seconds);
    juce::AudioBuffer<float> buffer(2, n);
    const double f0 = 20.0, f1 = 20000.0;
    const double k = std::log(f1 / f0);
    for (int i = 0; i < n; ++i)
    {
        const double t = i / sampleRate;
        const double phase = 2.0 * pi * f0 * seconds / k * (std::exp(t / seconds * k) - 1.0);
        buffer.setSample(0, i, static_cast<float>(0.5 * std::sin(phase)));
    }
    copyLeftToRight(buffer);
    return buffer;
}

juce::AudioBuffer<float> TestSignals::pinkNoise(double sampleRate, double seconds)
{
    const int n = lengthOf(sampleRate, seconds);
    juce::AudioBuffer<float> buffer(2, n);
    juce::Random random(20261211);
    for (int ch = 0; ch < 2; ++ch)
    {
        double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
        for (int i = 0; i < n; ++i)
        {
            const double white = random.nextDouble() * 2.0 - 1.0;
            b0 = 0.99886 * b0 + white * 0.0555179;
            b1 = 0.99332 * b1 + white * 0.0750759;
            b2 = 0.96900 * b2 + white * 0.1538520;
            b3 = 0.86650 * b3 + white * 0.3104856;
            b4 = 0.55000 * b4 + white * 0.5329522;
            b5 = -0.7616 * b5 - white * 0.0168980;
            const double pink = b0 + b1 + b2 + b3 + b4 + b5 + b6 + white * 0.5362;
            b6 = white * 0.115926;
            buffer.setSample(ch, i, static_cast<float>(pink * 0.06));
        }
    }
    return buffer;
}

juce::AudioBuffer<float> TestSignals::drumLoop(double sampleRate, double seconds)
{
    const int n = lengthOf(sampleRate, seconds);
    juce::AudioBuffer<float> buffer(2, n);
    buffer.clear();
    juce::Random random(7);
    const double beat = 60.0 / 100.0;
    const auto add = [&](int channel, int at, float value)
    {
        if (at >= 0 && at < n)
            buffer.addSample(channel, at, value);
    };
    for (double start = 0.0; start < seconds; start += beat / 2.0)
    {
        const int eighth = static_cast<int>(std::lround(start / (beat / 2.0)));
        const int at = static_cast<int>(start * sampleRate);
        const bool kick = eighth % 4 == 0 || eighth % 8 == 5;
        const bool snare = eighth % 4 == 2;
        for (int i = 0; i < static_cast<int>(0.35 * sampleRate); ++i)
        {
            const double t = i / sampleRate;
            float left = 0.0f;
            if (kick) // a sine that falls from 120 Hz to 45 Hz
            {
                const double phase = 2.0 * pi * (45.0 * t + 75.0 * 0.03 * (1.0 - std::exp(-t / 0.03)));
                left += static_cast<float>(0.45 * std::sin(phase) * std::exp(-t / 0.18));
            }
            if (snare)
                left += static_cast<float>(
                    (0.18 * (random.nextDouble() * 2 - 1) + 0.12 * std::sin(2 * pi * 190 * t)) *
                    std::exp(-t / 0.06));
            // Hats on every eighth: short bright noise.
            left += static_cast<float>(0.05 * (random.nextDouble() * 2 - 1) * std::exp(-t / 0.012));
            add(0, at + i, left);
        }
    }
    copyLeftToRight(buffer);
    return buffer;
}

bool TestSignals::byName(const juce::String& name, double sampleRate, double seconds,
                         juce::AudioBuffer<float>& out)
{
    if (name == "sweep")
        out = sweep(sampleRate, seconds);
    else if (name == "pink")
        out = pinkNoise(sampleRate, seconds);
    else if (name == "drums")
        out = drumLoop(sampleRate, seconds);
    else
        return false;
    return true;
}

} // namespace hesko::hosting

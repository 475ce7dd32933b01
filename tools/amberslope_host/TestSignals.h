// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace hesko::hosting
{

// Generated programme material for renders and plots, stereo, peak about -6 dBFS.
struct TestSignals
{
    // A logarithmic sine sweep from 20 Hz to 20 kHz.
    static juce::AudioBuffer<float> sweep(double sampleRate, double seconds);
    // Pink noise (Paul Kellet's filter over white noise), fixed seed.
    static juce::AudioBuffer<float> pinkNoise(double sampleRate, double seconds);
    // A short drum-like loop at 100 bpm: kick, snare and hats, so that the low and high bands both work.
    static juce::AudioBuffer<float> drumLoop(double sampleRate, double seconds);

    // Names accepted by `byName`: "sweep", "pink", "drums".
    static bool byName(const juce::String& name, double sampleRate, double seconds,
                       juce::AudioBuffer<float>& out);
};

} // namespace hesko::hosting

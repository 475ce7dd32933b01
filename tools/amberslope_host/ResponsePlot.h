// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_graphics/juce_graphics.h>

#include <utility>
#include <vector>

namespace hesko::hosting
{

// One curve of a plot: a label and the settings it is measured at, as parameter IDs and values in
// their own units ("lowBoost", "10"); `db` holds the measured magnitudes once measured.
struct ResponseCurve
{
    juce::String label;
    std::vector<std::pair<juce::String, juce::String>> settings;
    std::vector<double> db;
};

// A named set of curves drawn on one plot.
struct ResponseFamily
{
    juce::String name; // file name, as "low-boost-60Hz"
    juce::String title;
    std::vector<ResponseCurve> curves;
};

// The plot's frequency axis: log-spaced from 10 Hz to 30 kHz, and never past 95 % of Nyquist.
std::vector<double> responseFrequencies(double sampleRate, int points = 241);

// Message thread. The plug-in's small-signal magnitude response in dB at each frequency, from its
// impulse response (an impulse of 0.01, two seconds, analog noise as set), rendered offline at
// `sampleRate` through the plug-in's real block loop. Prepares and releases the plug-in.
std::vector<double> measureMagnitudeDb(juce::AudioPluginInstance& plugin, double sampleRate,
                                       const std::vector<double>& frequencies);

// A plot of the measured curves: log frequency 10 Hz - 30 kHz, a dB grid fitted to the data, one
// coloured, labelled curve per entry.
juce::Image drawResponsePlot(const juce::String& title, const std::vector<double>& frequencies,
                             const std::vector<ResponseCurve>& curves, double sampleRate);

// The same data as CSV: "frequency_hz" then one column per curve label; one row per frequency.
juce::String responseCsv(const std::vector<double>& frequencies, const std::vector<ResponseCurve>& curves);

// The classic families: low boost 0-10 at each low frequency, low boost and attenuation together,
// high boost across the bandwidth, high attenuation at 5, 10 and 20 kHz.
std::vector<ResponseFamily> classicFamilies();
// Their names, comma-separated, for help texts.
juce::String familyNames();

} // namespace hesko::hosting

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace hesko::hosting
{

// A VST3 loaded the way a DAW loads it: through JUCE's VST3 hosting, never by linking our processor.
struct HostedPlugin
{
    juce::PluginDescription description;
    std::unique_ptr<juce::AudioPluginInstance> instance;

    // Message thread. Loads the first audio effect of the bundle, or returns an empty plug-in and
    // fills `error`.
    static HostedPlugin load(const juce::File& bundle, double sampleRate, int blockSize, juce::String& error);
};

// The channel layouts a person asks about, and whether the plug-in accepts each.
struct LayoutAnswer
{
    const char* name;
    bool accepted;
};

// Message thread; queries without changing the plug-in's current layout.
std::vector<LayoutAnswer> probeLayouts(juce::AudioPluginInstance& plugin);

// What a host sees, as readable text: identity, layouts, latency and the parameters.
juce::String describe(const HostedPlugin& plugin);

// Message thread: the latency the plug-in reports once the host has heard its latest announcement.
int reportedLatency(juce::AudioPluginInstance& plugin);

// Sets one of the plug-in's parameters by its ID ("lowBoost") to a value in its own units ("7", "60",
// "on"), through the host's text-to-value conversion. False, with `error` filled, for an unknown ID or
// a text the parameter does not take.
bool setParameterFromText(juce::AudioProcessor& plugin, const juce::String& id, const juce::String& text,
                          juce::String& error);

struct RenderResult
{
    juce::AudioBuffer<float> output;
    double peak = 0.0;           // linear, over all channels
    double rms = 0.0;            // linear, over all channels
    int latencySamples = 0;      // as reported after preparation
    double realtimeFactor = 0.0; // audio duration / processing time
};

// Renders `input` offline (non-realtime, as a DAW bounces) through the plug-in's real block loop at
// `sampleRate` in blocks of `blockSize`. Call after setting the parameters; prepares the plug-in.
RenderResult renderOffline(juce::AudioPluginInstance& plugin, const juce::AudioBuffer<float>& input,
                           double sampleRate, int blockSize);

} // namespace hesko::hosting

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

} // namespace hesko::hosting

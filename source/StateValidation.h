// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <optional>
#include <vector>

namespace hesko::state
{

// One host parameter as a restored state must respect it: its ID and the bounds of its plain value.
struct ParameterRange
{
    juce::String id;
    double start = 0.0;
    double end = 0.0;
};

inline constexpr int currentStateVersion = 1;
inline const char* const rootType = "HeskoParameters";

// The whole check of a saved state, all or nothing, needing nothing but juce_core and
// juce_data_structures (so that a fuzzer can drive it). `data` is the framework's binary wrapper:
// "VC2!", a 32-bit length, the XML text, a zero byte. Returns the tree to install (a version-0 state
// already upgraded to version 1), or nothing when any check fails. `parameters` lists every
// parameter that must appear exactly once, in the order they are checked.
std::optional<juce::ValueTree> parseState(const void* data, int sizeInBytes,
                                          const std::vector<ParameterRange>& parameters);

} // namespace hesko::state

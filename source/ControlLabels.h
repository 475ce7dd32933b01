// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/ControlProfile.h"

#include <juce_core/juce_core.h>

namespace hesko::control_profile
{

// The labels of a switch table in position order: the host's choice texts and the selectors' items.
template <typename E, std::size_t N> juce::StringArray labelsFor(const std::array<Choice<E>, N>& choices)
{
    juce::StringArray labels;
    for (const auto& choice : choices)
        labels.add(choice.label);
    return labels;
}

} // namespace hesko::control_profile

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace hesko::ui
{

// The one place that knows how a font is built on JUCE 7 and on JUCE 8 (where fonts come from
// FontOptions and the plain constructors are deprecated).
inline juce::Font makeFont(float height, int styleFlags = juce::Font::plain,
                           const juce::String& typefaceName = {})
{
#if JUCE_MAJOR_VERSION >= 8
    if (typefaceName.isEmpty())
        return juce::Font(juce::FontOptions(height, styleFlags));
    return juce::Font(juce::FontOptions(typefaceName, height, styleFlags));
#else
    if (typefaceName.isEmpty())
        return juce::Font(height, styleFlags);
    return juce::Font(typefaceName, height, styleFlags);
#endif
}

} // namespace hesko::ui

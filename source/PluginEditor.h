// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class AmberslopeAudioProcessor;

// The fixed-size front panel.
class AmberslopeAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    static constexpr int panelWidth = 980;
    static constexpr int panelHeight = 430;

    explicit AmberslopeAudioProcessorEditor(AmberslopeAudioProcessor& processor);
    ~AmberslopeAudioProcessorEditor() override;

    void paint(juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(AmberslopeAudioProcessorEditor)
};

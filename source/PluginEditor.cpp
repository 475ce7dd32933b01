// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PluginEditor.h"

#include "FontCompat.h"
#include "PluginProcessor.h"

AmberslopeAudioProcessorEditor::AmberslopeAudioProcessorEditor(AmberslopeAudioProcessor& processor)
    : juce::AudioProcessorEditor(processor)
{
    setResizable(false, false);
    setSize(panelWidth, panelHeight);
}

AmberslopeAudioProcessorEditor::~AmberslopeAudioProcessorEditor() = default;

void AmberslopeAudioProcessorEditor::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(0xff2b2622));
    g.setColour(juce::Colour(0xffe8d9b5));
    g.setFont(hesko::ui::makeFont(22.0f, juce::Font::bold));
    g.drawText("AMBERSLOPE", getLocalBounds().reduced(24), juce::Justification::topLeft);
}

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "StatusDisplay.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

class AmberslopeAudioProcessor;

// The fixed 980 x 430 front panel: header, four framed sections with three selectors and six knobs,
// two switches and a status line. Every control is bound to a host parameter through the framework's
// attachments. Message thread only.
class AmberslopeAudioProcessorEditor : public juce::AudioProcessorEditor, public juce::Timer
{
public:
    // Dark knobs with a printed 0-10 scale, dark selector boxes with a light-brown outline, and
    // pop-up menus in the panel's colours.
    class VintagePultecLookAndFeel : public juce::LookAndFeel_V4
    {
    public:
        VintagePultecLookAndFeel();

        void drawComboBox(juce::Graphics& g, int width, int height, bool isButtonDown, int buttonX,
                          int buttonY, int buttonW, int buttonH, juce::ComboBox& box) override;
        juce::Font getComboBoxFont(juce::ComboBox& box) override;
        juce::Font getLabelFont(juce::Label& label) override;
        void drawRotarySlider(juce::Graphics& g, int x, int y, int width, int height,
                              float sliderPosProportional, float rotaryStartAngle, float rotaryEndAngle,
                              juce::Slider& slider) override;
    };

    static constexpr int panelWidth = 980;
    static constexpr int panelHeight = 430;

    explicit AmberslopeAudioProcessorEditor(AmberslopeAudioProcessor& processor);
    ~AmberslopeAudioProcessorEditor() override;

    void paint(juce::Graphics& g) override;
    void resized() override;
    // Message thread, every 200 ms: shows or hides the status line and logs each new failure once.
    void timerCallback() override;

    static void paintScrew(juce::Graphics& g, juce::Point<float> centre);

private:
    void configureSectionLabel(juce::Label& label, const juce::String& text);
    void configureCombo(juce::ComboBox& box, juce::Label& caption, const juce::String& captionText,
                        const juce::String& name);
    void configureSlider(juce::Slider& knob, juce::Label& caption, const juce::String& captionText,
                         const juce::String& name, double doubleClickValue);

    AmberslopeAudioProcessor& processorRef;
    VintagePultecLookAndFeel lookAndFeel; // outlives every child below

    juce::Label titleLabel, makerLabel, subtitleLabel;
    juce::Label lowSectionLabel, highBoostSectionLabel, highAttenSectionLabel, outputSectionLabel;
    juce::ComboBox lowFrequencyBox, highBoostFrequencyBox, highAttenFrequencyBox;
    juce::Slider lowBoostKnob, lowAttenKnob, highBoostKnob, highBandwidthKnob, highAttenKnob, outputGainKnob;
    juce::ToggleButton eqInButton, analogNoiseButton;
    juce::Label lowFrequencyCaption, highBoostFrequencyCaption, highAttenFrequencyCaption;
    juce::Label lowBoostCaption, lowAttenCaption, highBoostCaption, highBandwidthCaption, highAttenCaption,
        outputGainCaption;
    juce::Label statusLabel;

    // What the status display last wrote to the error stream.
    hesko::status::LogMemory statusLog;

    using ComboAttachment = juce::AudioProcessorValueTreeState::ComboBoxAttachment;
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;
    // Declared after the controls: destroyed first, detaching while the controls still exist.
    std::unique_ptr<ComboAttachment> lowFrequencyAttachment, highBoostFrequencyAttachment,
        highAttenFrequencyAttachment;
    std::unique_ptr<SliderAttachment> lowBoostAttachment, lowAttenAttachment, highBoostAttachment,
        highBandwidthAttachment, highAttenAttachment, outputGainAttachment;
    std::unique_ptr<ButtonAttachment> eqInAttachment, analogNoiseAttachment;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(AmberslopeAudioProcessorEditor)
};

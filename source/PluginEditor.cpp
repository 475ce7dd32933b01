// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PluginEditor.h"

#include "ControlLabels.h"
#include "FontCompat.h"
#include "ParameterIds.h"
#include "PluginProcessor.h"

#include <cmath>
#include <iostream>

namespace
{
namespace ids = hesko::parameter_ids;
using Colour = juce::Colour;

juce::Font bold(float height)
{
    return hesko::ui::makeFont(height, juce::Font::bold);
}

// Halves to even, as the scale numbers' boxes are placed.
int nearestEven(float v)
{
    return static_cast<int>(std::nearbyint(v));
}

constexpr float knobStartAngle = juce::MathConstants<float>::pi * 1.18f;
constexpr float knobEndAngle = juce::MathConstants<float>::pi * 2.82f;
} // namespace

// --- look and feel ----------------------------------------------------------------------------------

AmberslopeAudioProcessorEditor::VintagePultecLookAndFeel::VintagePultecLookAndFeel()
{
    setColour(juce::PopupMenu::backgroundColourId, Colour(0xff202529));
    setColour(juce::PopupMenu::textColourId, Colour(0xfff2e8cf));
    setColour(juce::PopupMenu::highlightedBackgroundColourId, Colour(0xff6f7c86));
    setColour(juce::PopupMenu::highlightedTextColourId, Colour(0xff151817));
}

void AmberslopeAudioProcessorEditor::VintagePultecLookAndFeel::drawComboBox(juce::Graphics& g, int width,
                                                                            int height, bool isButtonDown,
                                                                            int, int, int, int,
                                                                            juce::ComboBox& box)
{
    const auto area =
        juce::Rectangle<float>(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height))
            .reduced(1.0f);
    g.setColour(Colour(0x77000000));
    g.fillRoundedRectangle(area.translated(0.0f, 2.0f), 4.0f);
    g.setColour(Colour(isButtonDown ? 0xff111416 : 0xff1d2428));
    g.fillRoundedRectangle(area, 4.0f);
    g.setColour(Colour(0xffc59b52));
    g.drawRoundedRectangle(area, 4.0f, 1.5f);

    auto zone = area;
    zone = zone.removeFromRight(22.0f).reduced(7.0f, 10.0f);
    juce::Path arrow;
    arrow.addTriangle(zone.getX(), zone.getY(), zone.getRight(), zone.getY(), zone.getCentreX(),
                      zone.getBottom());
    g.setColour(Colour(0xffead9aa));
    g.fillPath(arrow);

    box.setColour(juce::ComboBox::textColourId, Colour(0xfff2e8cf));
}

juce::Font AmberslopeAudioProcessorEditor::VintagePultecLookAndFeel::getComboBoxFont(juce::ComboBox&)
{
    return bold(16.0f);
}

juce::Font AmberslopeAudioProcessorEditor::VintagePultecLookAndFeel::getLabelFont(juce::Label& label)
{
    return label.getFont();
}

void AmberslopeAudioProcessorEditor::VintagePultecLookAndFeel::drawRotarySlider(juce::Graphics& g, int x,
                                                                                int y, int width, int height,
                                                                                float position,
                                                                                float startAngle,
                                                                                float endAngle, juce::Slider&)
{
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const float diameter = std::max(std::min(w, h) - 28.0f, 18.0f);
    const float kx = static_cast<float>(x) + (w - diameter) / 2.0f;
    const float ky = static_cast<float>(y) + (h - diameter) / 2.0f;
    const float r = diameter / 2.0f;
    const float cx = kx + r;
    const float cy = ky + r;
    const juce::Rectangle<float> knob(kx, ky, diameter, diameter);

    g.setColour(Colour(0x66000000));
    g.fillEllipse(kx, ky + 3.0f, diameter, diameter);
    g.setGradientFill(juce::ColourGradient(Colour(0xff302820), kx, ky, Colour(0xff1b1713), kx + diameter,
                                           ky + diameter, false));
    g.fillEllipse(knob);
    g.setColour(Colour(0xff0b0a08));
    g.drawEllipse(knob.reduced(1.0f), 2.0f);
    g.setColour(Colour(0xff3d332a));
    g.drawEllipse(knob.reduced(0.18f * r), 1.0f);

    // A bar with fully rounded ends, pointing up at angle 0, turned about the centre.
    const float angle = startAngle + position * (endAngle - startAngle);
    const float barWidth = 0.075f * r;
    juce::Path pointer;
    pointer.addRoundedRectangle(-barWidth / 2.0f, -0.78f * r, barWidth, 0.58f * 0.78f * r, barWidth / 2.0f);
    g.setColour(Colour(0xfff2e8cf));
    g.fillPath(pointer, juce::AffineTransform::rotation(angle).translated(cx, cy));

    // The printed scale marks eleven equal steps of travel, whatever the parameter's range.
    g.setFont(bold(9.0f));
    g.setColour(Colour(0xff151817));
    const float labelRadius = r + 9.0f;
    for (int i = 0; i <= 10; ++i)
    {
        const float a = startAngle + (static_cast<float>(i) / 10.0f) * (endAngle - startAngle);
        const float boxWidth = i == 10 ? 18.0f : 12.0f;
        g.drawFittedText(juce::String(i), nearestEven(cx + labelRadius * std::sin(a) - boxWidth / 2.0f),
                         nearestEven(cy - labelRadius * std::cos(a) - 6.0f), nearestEven(boxWidth), 12,
                         juce::Justification::centred, 1);
    }
}

// --- the editor ---------------------------------------------------------------------------------------

AmberslopeAudioProcessorEditor::AmberslopeAudioProcessorEditor(AmberslopeAudioProcessor& processor)
    : juce::AudioProcessorEditor(processor), processorRef(processor)
{
    setLookAndFeel(&lookAndFeel);
    setSize(panelWidth, panelHeight);

    const auto header = [this](juce::Label& label, const char* text, juce::Justification justification,
                               float height, juce::uint32 colour)
    {
        label.setText(text, juce::dontSendNotification);
        label.setJustificationType(justification);
        label.setFont(bold(height));
        label.setColour(juce::Label::textColourId, Colour(colour));
        addAndMakeVisible(label);
    };
    header(titleLabel, "AMBERSLOPE", juce::Justification::centredLeft, 34.0f, 0xfff2e8cf);
    header(makerLabel, "BY Hesko", juce::Justification::centredLeft, 12.0f, 0xffead9aa);
    header(subtitleLabel, "PASSIVE PROGRAM EQUALIZER", juce::Justification::centredRight, 16.0f, 0xffead9aa);

    configureSectionLabel(lowSectionLabel, "LOW FREQUENCY");
    configureSectionLabel(highBoostSectionLabel, "HIGH FREQUENCY BOOST");
    configureSectionLabel(highAttenSectionLabel, "HIGH FREQUENCY ATTEN");
    configureSectionLabel(outputSectionLabel, "AMPLIFIER OUTPUT");

    configureCombo(lowFrequencyBox, lowFrequencyCaption, "CPS", "Low Frequency");
    configureCombo(highBoostFrequencyBox, highBoostFrequencyCaption, "KCS", "High Boost Frequency");
    configureCombo(highAttenFrequencyBox, highAttenFrequencyCaption, "KCS", "High Attenuation Frequency");
    namespace profile = hesko::control_profile;
    lowFrequencyBox.addItemList(profile::labelsFor(profile::lowFrequencies), 1);
    highBoostFrequencyBox.addItemList(profile::labelsFor(profile::highBoostFrequencies), 1);
    highAttenFrequencyBox.addItemList(profile::labelsFor(profile::highAttenFrequencies), 1);

    configureSlider(lowBoostKnob, lowBoostCaption, "BOOST", "Low Boost", 0.0);
    configureSlider(lowAttenKnob, lowAttenCaption, "ATTEN", "Low Attenuation", 0.0);
    configureSlider(highBoostKnob, highBoostCaption, "BOOST", "High Boost", 0.0);
    configureSlider(highBandwidthKnob, highBandwidthCaption, "BANDWIDTH", "High Bandwidth", 5.0);
    configureSlider(highAttenKnob, highAttenCaption, "ATTEN", "High Attenuation", 0.0);
    configureSlider(outputGainKnob, outputGainCaption, "OUTPUT", "Output Trim", 0.0);

    eqInButton.setButtonText("EQ IN");
    analogNoiseButton.setButtonText("ANALOG NOISE");
    eqInButton.setTitle("EQ In");
    analogNoiseButton.setTitle("Analog Noise");

    statusLabel.setJustificationType(juce::Justification::centred);
    statusLabel.setFont(bold(12.0f));
    statusLabel.setColour(juce::Label::backgroundColourId, Colour(0xffd8a03f));
    statusLabel.setColour(juce::Label::textColourId, Colour(0xff241b0e));
    statusLabel.setTitle("DSP status");
    addAndMakeVisible(statusLabel);
    statusLabel.setVisible(false);

    for (auto* button : {&eqInButton, &analogNoiseButton})
    {
        button->setColour(juce::ToggleButton::textColourId, Colour(0xfff2e8cf));
        button->setColour(juce::ToggleButton::tickColourId, Colour(0xffc59b52));
        button->setColour(juce::ToggleButton::tickDisabledColourId, Colour(0xff59656b));
        addAndMakeVisible(*button);
    }

    // Component IDs name each child after its member, for tools and tests that look the panel over.
    const std::pair<juce::Component*, const char*> named[] = {
        {&titleLabel, "titleLabel"},
        {&makerLabel, "makerLabel"},
        {&subtitleLabel, "subtitleLabel"},
        {&lowSectionLabel, "lowSectionLabel"},
        {&highBoostSectionLabel, "highBoostSectionLabel"},
        {&highAttenSectionLabel, "highAttenSectionLabel"},
        {&outputSectionLabel, "outputSectionLabel"},
        {&lowFrequencyBox, "lowFrequencyBox"},
        {&highBoostFrequencyBox, "highBoostFrequencyBox"},
        {&highAttenFrequencyBox, "highAttenFrequencyBox"},
        {&lowBoostKnob, "lowBoostKnob"},
        {&lowAttenKnob, "lowAttenKnob"},
        {&highBoostKnob, "highBoostKnob"},
        {&highBandwidthKnob, "highBandwidthKnob"},
        {&highAttenKnob, "highAttenKnob"},
        {&outputGainKnob, "outputGainKnob"},
        {&eqInButton, "eqInButton"},
        {&analogNoiseButton, "analogNoiseButton"},
        {&lowFrequencyCaption, "lowFrequencyCaption"},
        {&highBoostFrequencyCaption, "highBoostFrequencyCaption"},
        {&highAttenFrequencyCaption, "highAttenFrequencyCaption"},
        {&lowBoostCaption, "lowBoostCaption"},
        {&lowAttenCaption, "lowAttenCaption"},
        {&highBoostCaption, "highBoostCaption"},
        {&highBandwidthCaption, "highBandwidthCaption"},
        {&highAttenCaption, "highAttenCaption"},
        {&outputGainCaption, "outputGainCaption"},
        {&statusLabel, "statusLabel"},
    };
    for (const auto& [component, id] : named)
        component->setComponentID(id);

    auto& tree = processorRef.parameters;
    lowFrequencyAttachment = std::make_unique<ComboAttachment>(tree, ids::lowFrequency, lowFrequencyBox);
    highBoostFrequencyAttachment =
        std::make_unique<ComboAttachment>(tree, ids::highBoostFrequency, highBoostFrequencyBox);
    highAttenFrequencyAttachment =
        std::make_unique<ComboAttachment>(tree, ids::highAttenFrequency, highAttenFrequencyBox);
    lowBoostAttachment = std::make_unique<SliderAttachment>(tree, ids::lowBoost, lowBoostKnob);
    lowAttenAttachment = std::make_unique<SliderAttachment>(tree, ids::lowAtten, lowAttenKnob);
    highBoostAttachment = std::make_unique<SliderAttachment>(tree, ids::highBoost, highBoostKnob);
    highBandwidthAttachment = std::make_unique<SliderAttachment>(tree, ids::highBandwidth, highBandwidthKnob);
    highAttenAttachment = std::make_unique<SliderAttachment>(tree, ids::highAtten, highAttenKnob);
    outputGainAttachment = std::make_unique<SliderAttachment>(tree, ids::outputGain, outputGainKnob);
    eqInAttachment = std::make_unique<ButtonAttachment>(tree, ids::eqIn, eqInButton);
    analogNoiseAttachment = std::make_unique<ButtonAttachment>(tree, ids::analogNoise, analogNoiseButton);

    startTimer(200);
}

AmberslopeAudioProcessorEditor::~AmberslopeAudioProcessorEditor()
{
    stopTimer();
    // Nothing may point at the look and feel once it goes, after every child.
    setLookAndFeel(nullptr);
    for (auto* knob :
         {&lowBoostKnob, &lowAttenKnob, &highBoostKnob, &highBandwidthKnob, &highAttenKnob, &outputGainKnob})
        knob->setLookAndFeel(nullptr);
    for (auto* box : {&lowFrequencyBox, &highBoostFrequencyBox, &highAttenFrequencyBox})
        box->setLookAndFeel(nullptr);
}

void AmberslopeAudioProcessorEditor::configureSectionLabel(juce::Label& label, const juce::String& text)
{
    label.setText(text, juce::dontSendNotification);
    label.setJustificationType(juce::Justification::centred);
    label.setFont(bold(14.0f));
    // The narrow high attenuation panel squeezes its title rather than cut it short.
    label.setMinimumHorizontalScale(0.5f);
    label.setColour(juce::Label::textColourId, Colour(0xff252d33));
    addAndMakeVisible(label);
}

namespace
{
// A caption above its control: the control's title already says what it is, so screen readers skip it.
void configureCaption(juce::Component& parent, juce::Label& caption, juce::Component& owner,
                      const juce::String& text, float height)
{
    caption.setText(text, juce::dontSendNotification);
    caption.setJustificationType(juce::Justification::centred);
    caption.setFont(bold(height));
    caption.setColour(juce::Label::textColourId, Colour(0xff151817));
    caption.setAccessible(false);
    parent.addAndMakeVisible(caption);
    caption.attachToComponent(&owner, false);
}
} // namespace

void AmberslopeAudioProcessorEditor::configureCombo(juce::ComboBox& box, juce::Label& caption,
                                                    const juce::String& captionText, const juce::String& name)
{
    box.setLookAndFeel(&lookAndFeel);
    box.setJustificationType(juce::Justification::centred);
    box.setColour(juce::ComboBox::backgroundColourId, Colour(0xff1d2428));
    box.setColour(juce::ComboBox::outlineColourId, Colour(0xffc59b52));
    box.setColour(juce::ComboBox::textColourId, Colour(0xfff2e8cf));
    box.setColour(juce::ComboBox::arrowColourId, Colour(0xffead9aa));
    box.setTitle(name);
    box.setDescription(name + " selector");
    addAndMakeVisible(box);
    configureCaption(*this, caption, box, captionText, 12.5f);
}

void AmberslopeAudioProcessorEditor::configureSlider(juce::Slider& knob, juce::Label& caption,
                                                     const juce::String& captionText,
                                                     const juce::String& name, double doubleClickValue)
{
    knob.setLookAndFeel(&lookAndFeel);
    knob.setSliderStyle(juce::Slider::RotaryHorizontalVerticalDrag);
    knob.setTextBoxStyle(juce::Slider::NoTextBox, false, 0, 0);
    knob.setRotaryParameters(knobStartAngle, knobEndAngle, true);
    knob.setDoubleClickReturnValue(true, doubleClickValue);
    knob.setMouseDragSensitivity(220);
    knob.setTitle(name);
    knob.setDescription(name + " control");
    addAndMakeVisible(knob);
    configureCaption(*this, caption, knob, captionText, 13.0f);
}

void AmberslopeAudioProcessorEditor::resized()
{
    using Rect = juce::Rectangle<int>;
    const int W = getWidth();
    const int H = getHeight();
    const auto centred = [](Rect area, int w, int h)
    { return Rect(area.getX() + (area.getWidth() - w) / 2, area.getY() + (area.getHeight() - h) / 2, w, h); };

    auto header = Rect(34, 34, std::max(W - 68, 0), std::min(std::max(H - 68, 0), 58));
    titleLabel.setBounds(header.removeFromLeft(270));
    makerLabel.setBounds(header.removeFromLeft(92));
    subtitleLabel.setBounds(header.removeFromRight(260));
    auto row = header.reduced(0, 12);
    eqInButton.setBounds(row.removeFromLeft(86).reduced(4, 0));
    analogNoiseButton.setBounds(row.reduced(4, 0));

    auto content = Rect(34, 96, std::max(W - 68, 0), std::max(H - 192, 0));
    auto low = content.removeFromLeft(292).reduced(14, 18);
    auto boost = content.removeFromLeft(340).reduced(22, 18);
    auto atten = content.removeFromLeft(150).reduced(14, 18);
    auto output = content.reduced(14, 18);

    lowSectionLabel.setBounds(low.removeFromTop(24));
    highBoostSectionLabel.setBounds(boost.removeFromTop(24));
    highAttenSectionLabel.setBounds(atten.removeFromTop(24));
    outputSectionLabel.setBounds(output.removeFromTop(24));

    // A selector and two knobs side by side, captions above; each control before its caption.
    const auto band = [&](Rect inner, int selectorColumn, int selectorWidth, int knobColumn,
                          juce::ComboBox& box, juce::Label& boxCaption, juce::Slider& first,
                          juce::Label& firstCaption, juce::Slider& second, juce::Label& secondCaption)
    {
        inner.removeFromTop(12);
        auto captions = inner.removeFromTop(22);
        auto body = inner;
        box.setBounds(centred(body.removeFromLeft(selectorColumn).removeFromTop(36), selectorWidth, 36));
        boxCaption.setBounds(captions.removeFromLeft(selectorColumn));
        first.setBounds(body.removeFromLeft(knobColumn).reduced(0, 4));
        firstCaption.setBounds(captions.removeFromLeft(knobColumn));
        second.setBounds(body.reduced(0, 4));
        secondCaption.setBounds(captions);
    };
    band(low, 86, 76, 96, lowFrequencyBox, lowFrequencyCaption, lowBoostKnob, lowBoostCaption, lowAttenKnob,
         lowAttenCaption);
    band(boost, 90, 80, 104, highBoostFrequencyBox, highBoostFrequencyCaption, highBoostKnob,
         highBoostCaption, highBandwidthKnob, highBandwidthCaption);

    atten.removeFromTop(4);
    const auto attenBoxCaption = atten.removeFromTop(20);
    highAttenFrequencyBox.setBounds(centred(atten.removeFromTop(32), 78, 32));
    highAttenFrequencyCaption.setBounds(attenBoxCaption);
    atten.removeFromTop(4);
    const auto attenKnobCaption = atten.removeFromTop(20);
    highAttenKnob.setBounds(atten.reduced(4, 0));
    highAttenCaption.setBounds(attenKnobCaption);

    output.removeFromTop(12);
    const auto outputCaption = output.removeFromTop(22);
    outputGainKnob.setBounds(output.reduced(2, 4));
    outputGainCaption.setBounds(outputCaption);

    const int statusHeight = std::min(std::max(H - 47, 0), 22);
    statusLabel.setBounds(86, std::max(H - 47, 0) - statusHeight, std::max(W - 172, 0), statusHeight);
}

void AmberslopeAudioProcessorEditor::paint(juce::Graphics& g)
{
    const float W = static_cast<float>(getWidth());
    const float H = static_cast<float>(getHeight());
    g.fillAll(Colour(0xff111315));

    const juce::Rectangle<float> panel(16.0f, 16.0f, std::max(W - 32.0f, 0.0f), std::max(H - 32.0f, 0.0f));
    g.setGradientFill(juce::ColourGradient(Colour(0xff6f7c86), 16.0f, 16.0f, Colour(0xff2f3940), 16.0f,
                                           16.0f + panel.getHeight(), false));
    g.fillRoundedRectangle(panel, 6.0f);
    g.setColour(Colour(0x66000000));
    g.drawRoundedRectangle(panel.translated(0.0f, 2.0f), 6.0f, 3.0f);
    g.setColour(Colour(0xffb8c0c4));
    g.drawRoundedRectangle(panel, 6.0f, 1.5f);

    auto header = panel;
    header = header.removeFromTop(76.0f);
    g.setColour(Colour(0x22000000));
    g.fillRect(
        juce::Rectangle<float>(16.0f, 16.0f, panel.getWidth(), std::max(header.getHeight() - 16.0f, 0.0f)));
    g.setColour(Colour(0xffcad2d4));
    g.drawLine(header.getX() + 22.0f, header.getBottom() - 12.0f, header.getRight() - 22.0f,
               header.getBottom() - 12.0f, 1.0f);

    paintScrew(g, {34.0f, 34.0f});
    paintScrew(g, {W - 34.0f, 34.0f});
    paintScrew(g, {34.0f, H - 34.0f});
    paintScrew(g, {W - 34.0f, H - 34.0f});

    auto content =
        juce::Rectangle<float>(34.0f, 96.0f, std::max(W - 68.0f, 0.0f), std::max(H - 192.0f, 0.0f));
    const juce::Rectangle<float> frames[] = {
        content.removeFromLeft(292.0f).reduced(0.0f, 2.0f),
        content.removeFromLeft(340.0f).reduced(8.0f, 2.0f),
        content.removeFromLeft(150.0f).reduced(8.0f, 2.0f),
        content.reduced(8.0f, 2.0f),
    };
    for (const auto& frame : frames)
    {
        g.setColour(Colour(0x22000000));
        g.fillRoundedRectangle(frame.translated(0.0f, 2.0f), 6.0f);
        g.setColour(Colour(0xffd5d0bd));
        g.fillRoundedRectangle(frame, 5.0f);
        g.setColour(Colour(0xff8d897b));
        g.drawRoundedRectangle(frame, 5.0f, 1.0f);
    }
}

void AmberslopeAudioProcessorEditor::paintScrew(juce::Graphics& g, juce::Point<float> centre)
{
    const float cx = centre.x;
    const float cy = centre.y;
    g.setColour(Colour(0x66000000));
    g.fillEllipse(cx - 9.0f, cy - 7.5f, 18.0f, 18.0f);
    g.setGradientFill(juce::ColourGradient(Colour(0xffc59b52), cx - 9.0f, cy - 9.0f, Colour(0xff705331),
                                           cx + 9.0f, cy + 9.0f, false));
    g.fillEllipse(cx - 9.0f, cy - 9.0f, 18.0f, 18.0f);
    g.setColour(Colour(0xff3c2a16));
    g.drawLine(cx - 5.0f, cy, cx + 5.0f, cy, 1.6f);
}

void AmberslopeAudioProcessorEditor::timerCallback()
{
    const auto report =
        hesko::status::decideStatus(processorRef.isDspBypassed(), processorRef.getCircuitHealth(), statusLog);
    if (!report.shown)
    {
        statusLabel.setVisible(false);
        return;
    }
    statusLabel.setText(report.headline, juce::dontSendNotification);
    statusLabel.setDescription(report.errorText);
    statusLabel.setVisible(true);
    if (report.logLine)
        std::cerr << *report.logLine << '\n' << std::flush;
}

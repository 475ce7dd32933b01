// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PluginEditor.h"
#include "AudioTestSupport.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <thread>
#include <unistd.h>

namespace
{
using Editor = AmberslopeAudioProcessorEditor;

template <typename T = juce::Component> T& child(Editor& editor, const char* id)
{
    auto* found = dynamic_cast<T*>(editor.findChildWithID(id));
    if (found == nullptr)
        throw std::runtime_error(std::string("no child ") + id);
    return *found;
}

class EditorFixture : public ::testing::Test
{
protected:
    AmberslopeAudioProcessor processor;
    std::unique_ptr<Editor> editor{static_cast<Editor*>(processor.createEditor())};
};

TEST_F(EditorFixture, LayoutAtTheWindowsOnlySize)
{
    // Captions take their own rectangles from the second layout on (the first runs before they are attached).
    editor->resized();
    const struct
    {
        const char* id;
        int x, y, w, h;
    } rows[] = {
        {"titleLabel", 34, 34, 270, 58},
        {"makerLabel", 304, 34, 92, 58},
        {"subtitleLabel", 686, 34, 260, 58},
        {"eqInButton", 400, 46, 78, 34},
        {"analogNoiseButton", 486, 46, 196, 34},
        {"lowSectionLabel", 48, 114, 264, 24},
        {"highBoostSectionLabel", 348, 114, 296, 24},
        {"highAttenSectionLabel", 680, 114, 122, 24},
        {"outputSectionLabel", 830, 114, 102, 24},
        {"lowFrequencyCaption", 48, 150, 86, 22},
        {"lowFrequencyBox", 53, 172, 76, 36},
        {"lowBoostCaption", 134, 150, 96, 22},
        {"lowBoostKnob", 134, 176, 96, 136},
        {"lowAttenCaption", 230, 150, 82, 22},
        {"lowAttenKnob", 230, 176, 82, 136},
        {"highBoostFrequencyCaption", 348, 150, 90, 22},
        {"highBoostFrequencyBox", 353, 172, 80, 36},
        {"highBoostCaption", 438, 150, 104, 22},
        {"highBoostKnob", 438, 176, 104, 136},
        {"highBandwidthCaption", 542, 150, 102, 22},
        {"highBandwidthKnob", 542, 176, 102, 136},
        {"highAttenFrequencyCaption", 680, 142, 122, 20},
        {"highAttenFrequencyBox", 702, 162, 78, 32},
        {"highAttenCaption", 680, 198, 122, 20},
        {"highAttenKnob", 684, 218, 114, 98},
        {"outputGainCaption", 830, 150, 102, 22},
        {"outputGainKnob", 832, 176, 98, 136},
        {"statusLabel", 86, 361, 808, 22},
    };
    for (const auto& r : rows)
        EXPECT_EQ(child(*editor, r.id).getBounds(), juce::Rectangle<int>(r.x, r.y, r.w, r.h)) << r.id;
    EXPECT_EQ(editor->getWidth(), 980);
    EXPECT_EQ(editor->getHeight(), 430);
    EXPECT_FALSE(editor->isResizable());
}

TEST_F(EditorFixture, SmallerSizesNeverGoNegativeAndSelectorsKeepTheirSize)
{
    for (auto [w, h] : {std::pair{600, 300}, {200, 150}, {60, 40}, {0, 0}})
    {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        editor->setBounds(0, 0, w, h);
        editor->resized();
        for (auto* c : editor->getChildren())
        {
            EXPECT_GE(c->getWidth(), 0) << c->getComponentID();
            EXPECT_GE(c->getHeight(), 0) << c->getComponentID();
        }
        EXPECT_EQ(child(*editor, "lowFrequencyBox").getWidth(), 76);
        EXPECT_EQ(child(*editor, "highAttenFrequencyBox").getHeight(), 32);
    }
    editor->setBounds(0, 0, 400, 228);
    EXPECT_EQ(child(*editor, "lowBoostKnob").getHeight(), 0) << "no height left in the sections";
}

TEST_F(EditorFixture, ControlsAndParametersFollowEachOther)
{
    auto& knob = child<juce::Slider>(*editor, "lowBoostKnob");
    knob.setValue(7.5, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ(processor.parameters.getRawParameterValue("lowBoost")->load(), 7.5f);

    auto& box = child<juce::ComboBox>(*editor, "highBoostFrequencyBox");
    box.setSelectedId(6, juce::sendNotificationSync); // item 6 is "12"
    EXPECT_EQ(processor.parameters.getRawParameterValue("highBoostFrequency")->load(), 5.0f);

    hesko::test::setPlain(processor, "lowFrequency", 3.0f);
    hesko::test::setPlain(processor, "outputGain", -6.0f);
    hesko::test::setPlain(processor, "eqIn", 0.0f);
    juce::MessageManager::getInstance()->runDispatchLoopUntil(50); // attachments update asynchronously
    EXPECT_EQ(child<juce::ComboBox>(*editor, "lowFrequencyBox").getText(), "100");
    EXPECT_DOUBLE_EQ(child<juce::Slider>(*editor, "outputGainKnob").getValue(), -6.0);
    EXPECT_FALSE(child<juce::ToggleButton>(*editor, "eqInButton").getToggleState());
}

TEST_F(EditorFixture, KnobsAndSelectorsAreSetUpAsTheControlTableSays)
{
    const struct
    {
        const char* id;
        const char* title;
        double doubleClick;
        double minimum, maximum;
    } knobs[] = {
        {"lowBoostKnob", "Low Boost", 0, 0, 10},         {"lowAttenKnob", "Low Attenuation", 0, 0, 10},
        {"highBoostKnob", "High Boost", 0, 0, 10},       {"highBandwidthKnob", "High Bandwidth", 5, 0, 10},
        {"highAttenKnob", "High Attenuation", 0, 0, 10}, {"outputGainKnob", "Output Trim", 0, -12, 12}};
    for (const auto& k : knobs)
    {
        SCOPED_TRACE(k.id);
        auto& knob = child<juce::Slider>(*editor, k.id);
        EXPECT_EQ(knob.getTitle(), k.title);
        EXPECT_EQ(knob.getDescription(), juce::String(k.title) + " control");
        EXPECT_TRUE(knob.isDoubleClickReturnEnabled());
        EXPECT_EQ(knob.getDoubleClickReturnValue(), k.doubleClick);
        EXPECT_EQ(knob.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
        EXPECT_EQ(knob.getTextBoxPosition(), juce::Slider::NoTextBox);
        EXPECT_EQ(knob.getMouseDragSensitivity(), 220);
        const auto rotary = knob.getRotaryParameters();
        EXPECT_EQ(rotary.startAngleRadians, juce::MathConstants<float>::pi * 1.18f);
        EXPECT_EQ(rotary.endAngleRadians, juce::MathConstants<float>::pi * 2.82f);
        EXPECT_TRUE(rotary.stopAtEnd);
        EXPECT_EQ(knob.getMinimum(), k.minimum);
        EXPECT_EQ(knob.getMaximum(), k.maximum);
        EXPECT_NE(dynamic_cast<Editor::VintagePultecLookAndFeel*>(&knob.getLookAndFeel()), nullptr);
    }
    const struct
    {
        const char* id;
        const char* title;
        juce::StringArray items;
    } boxes[] = {{"lowFrequencyBox", "Low Frequency", {"20", "30", "60", "100"}},
                 {"highBoostFrequencyBox", "High Boost Frequency", {"3", "4", "5", "8", "10", "12", "16"}},
                 {"highAttenFrequencyBox", "High Attenuation Frequency", {"5", "10", "20"}}};
    for (const auto& b : boxes)
    {
        SCOPED_TRACE(b.id);
        auto& box = child<juce::ComboBox>(*editor, b.id);
        EXPECT_EQ(box.getTitle(), b.title);
        EXPECT_EQ(box.getDescription(), juce::String(b.title) + " selector");
        ASSERT_EQ(box.getNumItems(), b.items.size());
        for (int i = 0; i < b.items.size(); ++i)
        {
            EXPECT_EQ(box.getItemText(i), b.items[i]);
            EXPECT_EQ(box.getItemId(i), i + 1);
        }
    }
    EXPECT_EQ(child<juce::ComboBox>(*editor, "lowFrequencyBox").getText(), "60");
    EXPECT_EQ(child<juce::ComboBox>(*editor, "highAttenFrequencyBox").getText(), "10");

    for (const char* caption : {"lowFrequencyCaption", "lowBoostCaption", "outputGainCaption"})
        EXPECT_FALSE(child(*editor, caption).isAccessible()) << caption;
    EXPECT_EQ(child(*editor, "eqInButton").getTitle(), "EQ In");
    EXPECT_EQ(child(*editor, "analogNoiseButton").getDescription(), "");
    EXPECT_EQ(child<juce::Label>(*editor, "lowBoostCaption").getText(), "BOOST");
    EXPECT_EQ(child<juce::Label>(*editor, "highBandwidthCaption").getText(), "BANDWIDTH");
}

// ---------------------------------------------------------------------------------------------------
// Painting, headless.

int channelDistance(juce::Colour a, juce::Colour b)
{
    return std::max({std::abs(a.getRed() - b.getRed()), std::abs(a.getGreen() - b.getGreen()),
                     std::abs(a.getBlue() - b.getBlue())});
}

juce::Colour mix(juce::uint32 from, juce::uint32 to, float t)
{
    return juce::Colour(from).interpolatedWith(juce::Colour(to), t);
}

juce::Image snapshot(Editor& editor)
{
    editor.resized();
    return editor.createComponentSnapshot(editor.getLocalBounds(), true, 1.0f);
}

TEST_F(EditorFixture, PaintsThePanel)
{
    const auto image = snapshot(*editor);
    const auto file = juce::File(AMBERSLOPE_TEST_OUTPUT_DIR).getChildFile("editor.png");
    file.deleteFile();
    {
        juce::FileOutputStream out(file);
        ASSERT_TRUE(out.openedOk());
        ASSERT_TRUE(juce::PNGImageFormat().writeImageToStream(image, out));
    }
    std::cout << "editor picture: " << file.getFullPathName() << "\n";

    const struct
    {
        const char* what;
        int x, y;
        juce::Colour expected;
        int tolerance;
    } pixels[] = {
        {"background", 3, 3, juce::Colour(0xff111315), 0},
        {"panel below the sections, near the bottom", 500, 400,
         mix(0xff6f7c86, 0xff2f3940, (400.5f - 16) / 398), 3},
        {"header band over the panel's top", 650, 24,
         mix(0xff6f7c86, 0xff2f3940, (24.5f - 16) / 398)
             .interpolatedWith(juce::Colours::black, 34.0f / 255.0f),
         3},
        {"screw head", 30, 30, mix(0xffc59b52, 0xff705331, 10.0f / 36.0f), 6},
        {"screw slot (a 1.6 px line, so partly blended)", 34, 34, juce::Colour(0xff3c2a16), 30},
        {"low band frame body", 50, 325, juce::Colour(0xffd5d0bd), 0},
        {"frame outline on the left edge", 34, 240, mix(0xffd5d0bd, 0xff8d897b, 0.5f), 20},
        {"knob body right of the centre", 197, 244, mix(0xff302820, 0xff1b1713, 0.61f), 4},
        {"selector body", 60, 190, juce::Colour(0xff1d2428), 0},
    };
    for (const auto& p : pixels)
    {
        const auto got = image.getPixelAt(p.x, p.y);
        EXPECT_LE(channelDistance(got, p.expected), p.tolerance)
            << p.what << " at " << p.x << "," << p.y << ": " << got.toDisplayString(true) << " vs "
            << p.expected.toDisplayString(true);
    }
    // The selector's outline runs just inside its left edge.
    EXPECT_LE(channelDistance(image.getPixelAt(54, 190), juce::Colour(0xffc59b52)), 60);
}

TEST_F(EditorFixture, PointerRestsOnZeroAtMinimumAndOnTenAtMaximum)
{
    // lowBoostKnob (134, 176, 96, 136): an 68 px knob centred at (182, 244), radius 34.
    const auto brightness = [](juce::Colour c) { return c.getPerceivedBrightness(); };
    const auto at = [](const juce::Image& image, float angle)
    {
        const float length = 0.6f * 34.0f;
        return image.getPixelAt(juce::roundToInt(182.0f + length * std::sin(angle)),
                                juce::roundToInt(244.0f - length * std::cos(angle)));
    };
    const float start = juce::MathConstants<float>::pi * 1.18f;
    const float end = juce::MathConstants<float>::pi * 2.82f;

    auto minimum = snapshot(*editor);
    EXPECT_GT(brightness(at(minimum, start)), 0.7f) << "pointer towards the 0";
    EXPECT_LT(brightness(at(minimum, end)), 0.3f);

    child<juce::Slider>(*editor, "lowBoostKnob").setValue(10.0, juce::sendNotificationSync);
    auto maximum = snapshot(*editor);
    EXPECT_GT(brightness(at(maximum, end)), 0.7f) << "pointer towards the 10";
    EXPECT_LT(brightness(at(maximum, start)), 0.3f);
}

TEST(VintageLookAndFeel, PressedSelectorDarkensOnlyItsBody)
{
    Editor::VintagePultecLookAndFeel lookAndFeel;
    juce::ComboBox box;
    for (bool down : {false, true})
    {
        juce::Image image(juce::Image::ARGB, 80, 36, true);
        juce::Graphics g(image);
        lookAndFeel.drawComboBox(g, 80, 36, down, 0, 0, 80, 36, box);
        EXPECT_EQ(image.getPixelAt(20, 18), juce::Colour(down ? 0xff111416 : 0xff1d2428));
        EXPECT_LE(channelDistance(image.getPixelAt(40, 1), juce::Colour(0xffc59b52)), 60) << "outline";
        EXPECT_EQ(image.getPixelAt(69, 12), juce::Colour(0xffead9aa)) << "arrow";
    }
    EXPECT_EQ(box.findColour(juce::ComboBox::textColourId), juce::Colour(0xfff2e8cf));
    EXPECT_EQ(lookAndFeel.findColour(juce::PopupMenu::highlightedBackgroundColourId),
              juce::Colour(0xff6f7c86));
    EXPECT_EQ(lookAndFeel.findColour(juce::PopupMenu::backgroundColourId), juce::Colour(0xff202529));
}

// ---------------------------------------------------------------------------------------------------
// The status line and its log.

// Captures what is written to the standard error stream while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        saved = dup(2);
        file = std::tmpfile();
        dup2(fileno(file), 2);
    }
    std::string text()
    {
        std::cerr << std::flush;
        std::fflush(stderr);
        std::rewind(file);
        std::string out;
        for (int c; (c = std::fgetc(file)) != EOF;)
            out.push_back(static_cast<char>(c));
        return out;
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        std::fclose(file);
    }

private:
    int saved = -1;
    std::FILE* file = nullptr;
};

TEST(EditorStatus, HiddenWhileAllIsWell)
{
    AmberslopeAudioProcessor processor;
    processor.prepareToPlay(48000.0, 256);
    std::unique_ptr<Editor> editor(static_cast<Editor*>(processor.createEditor()));
    StderrCapture capture;
    for (int i = 0; i < 5; ++i)
        editor->timerCallback();
    EXPECT_FALSE(child(*editor, "statusLabel").isVisible());
    EXPECT_EQ(capture.text(), "");
}

TEST(EditorStatus, ABypassedProcessorIsShownAndLoggedOncePerEditor)
{
    AmberslopeAudioProcessor processor;
    processor.prepareToPlay(std::numeric_limits<double>::infinity(), 256); // no circuit compiles
    ASSERT_TRUE(processor.isDspBypassed());
    const auto health = processor.getCircuitHealth();
    const std::string line =
        "Amberslope circuit compiler: Passive circuit initialization failed; requested sequence=" +
        std::to_string(health.requestedSequence) +
        ", applied sequence=" + std::to_string(health.appliedSequence) +
        ", failed sequence=" + std::to_string(health.failedSequence) + "; audio is safely bypassed\n";
    // The failed preparation recorded its error: the description carries it.
    const std::string expectedDescription = health.lastError == hesko::dsp::circuit::CircuitCompileError::none
                                                ? "Passive circuit initialization failed"
                                                : hesko::status::errorTextFor(health.lastError);

    StderrCapture capture;
    for (int reopen = 0; reopen < 2; ++reopen)
    {
        std::unique_ptr<Editor> editor(static_cast<Editor*>(processor.createEditor()));
        auto& status = child<juce::Label>(*editor, "statusLabel");
        EXPECT_FALSE(status.isVisible()) << "nothing before the first tick";
        for (int tick = 0; tick < 4; ++tick)
            editor->timerCallback();
        EXPECT_TRUE(status.isVisible());
        EXPECT_EQ(status.getText(), "DSP BYPASSED - REOPEN OR RELOAD THE PLUG-IN");
        EXPECT_EQ(status.getDescription().toStdString(), expectedDescription);
    }
    const std::string expectedLine =
        health.lastError == hesko::dsp::circuit::CircuitCompileError::none
            ? line
            : "Amberslope circuit compiler: " + expectedDescription + line.substr(line.find("; requested"));
    EXPECT_EQ(capture.text(), expectedLine + expectedLine) << "once per editor, byte for byte";
}

// ---------------------------------------------------------------------------------------------------
// Lifetime.

TEST(EditorLifetime, OpeningAndClosingWhileProcessingLeavesNothingBehind)
{
    AmberslopeAudioProcessor processor;
    processor.prepareToPlay(48000.0, 256);
    std::atomic<bool> stop{false};
    std::thread audio(
        [&]
        {
            juce::AudioBuffer<float> buffer(2, 256);
            juce::MidiBuffer midi;
            while (!stop.load())
            {
                buffer.clear();
                processor.processBlock(buffer, midi);
            }
        });
    for (int i = 0; i < 40; ++i)
    {
        std::unique_ptr<Editor> editor(static_cast<Editor*>(processor.createEditor()));
        editor->timerCallback();
        if (i % 10 == 0)
            snapshot(*editor);
        hesko::test::setPlain(processor, "highBoost", static_cast<float>(i % 10));
    }
    stop = true;
    audio.join();
    EXPECT_EQ(processor.getActiveEditor(), nullptr);
}
} // namespace

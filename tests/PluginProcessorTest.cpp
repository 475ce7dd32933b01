// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
enum class Kind
{
    choice,
    floating,
    toggle
};

struct ParameterRow
{
    const char* id;
    const char* name;
    Kind kind;
    float minimum;
    float maximum;
    float defaultPlain;
    juce::StringArray choices;
};

const std::vector<ParameterRow>& parameterTable()
{
    static const std::vector<ParameterRow> rows{
        {"lowFrequency", "Low Frequency", Kind::choice, 0, 3, 2, {"20", "30", "60", "100"}},
        {"lowBoost", "Low Boost", Kind::floating, 0, 10, 0, {}},
        {"lowAtten", "Low Attenuation", Kind::floating, 0, 10, 0, {}},
        {"highBoostFrequency",
         "High Boost Frequency",
         Kind::choice,
         0,
         6,
         3,
         {"3", "4", "5", "8", "10", "12", "16"}},
        {"highBoost", "High Boost", Kind::floating, 0, 10, 0, {}},
        {"highBandwidth", "High Bandwidth", Kind::floating, 0, 10, 5, {}},
        {"highAttenFrequency", "High Attenuation Frequency", Kind::choice, 0, 2, 1, {"5", "10", "20"}},
        {"highAtten", "High Attenuation", Kind::floating, 0, 10, 0, {}},
        {"eqIn", "EQ In", Kind::toggle, 0, 1, 1, {}},
        {"analogNoise", "Analog Noise", Kind::toggle, 0, 1, 0, {}},
        {"outputGain", "Output Trim", Kind::floating, -12, 12, 0, {}},
    };
    return rows;
}

class ProcessorShell : public ::testing::Test
{
protected:
    AmberslopeAudioProcessor processor;
};

TEST_F(ProcessorShell, HostSeesTheElevenParametersInTableOrder)
{
    const auto& params = processor.getParameters();
    const auto& table = parameterTable();
    ASSERT_EQ(params.size(), static_cast<int>(table.size()));

    for (std::size_t i = 0; i < table.size(); ++i)
    {
        const auto& row = table[i];
        SCOPED_TRACE(row.id);
        auto* withId = dynamic_cast<juce::RangedAudioParameter*>(params[static_cast<int>(i)]);
        ASSERT_NE(withId, nullptr);
        EXPECT_EQ(withId->getParameterID(), row.id);
        EXPECT_EQ(withId->getName(100), row.name);
        EXPECT_EQ(withId->getLabel(), "") << "no unit labels";
        EXPECT_EQ(processor.parameters.getParameter(row.id), withId);

        const auto& range = withId->getNormalisableRange();
        EXPECT_FLOAT_EQ(range.start, row.minimum);
        EXPECT_FLOAT_EQ(range.end, row.maximum);
        EXPECT_FLOAT_EQ(range.skew, 1.0f);
        EXPECT_FALSE(range.symmetricSkew);
        EXPECT_FLOAT_EQ(withId->convertFrom0to1(withId->getDefaultValue()), row.defaultPlain);
        EXPECT_FLOAT_EQ(processor.parameters.getRawParameterValue(row.id)->load(), row.defaultPlain);

        switch (row.kind)
        {
        case Kind::choice:
        {
            auto* choice = dynamic_cast<juce::AudioParameterChoice*>(withId);
            ASSERT_NE(choice, nullptr);
            EXPECT_EQ(choice->choices, row.choices);
            EXPECT_EQ(choice->getCurrentValueAsText(), row.choices[static_cast<int>(row.defaultPlain)]);
            break;
        }
        case Kind::floating:
            ASSERT_NE(dynamic_cast<juce::AudioParameterFloat*>(withId), nullptr);
            EXPECT_FLOAT_EQ(range.interval, 0.01f);
            break;
        case Kind::toggle:
            ASSERT_NE(dynamic_cast<juce::AudioParameterBool*>(withId), nullptr);
            break;
        }
    }
}

TEST_F(ProcessorShell, AcceptsOnlyMatchingMonoOrStereo)
{
    using Set = juce::AudioChannelSet;
    const struct
    {
        const char* name;
        Set input;
        Set output;
        bool accepted;
    } cases[] = {
        {"stereo", Set::stereo(), Set::stereo(), true},
        {"mono", Set::mono(), Set::mono(), true},
        {"mono in, stereo out", Set::mono(), Set::stereo(), false},
        {"stereo in, mono out", Set::stereo(), Set::mono(), false},
        {"5.1", Set::create5point1(), Set::create5point1(), false},
        {"LCR", Set::createLCR(), Set::createLCR(), false},
        {"disabled buses", Set::disabled(), Set::disabled(), false},
        {"disabled input", Set::disabled(), Set::stereo(), false},
    };
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(c.input);
        layout.outputBuses.add(c.output);
        EXPECT_EQ(processor.isBusesLayoutSupported(layout), c.accepted) << c.name;
    }
}

TEST_F(ProcessorShell, DeclaresStereoInputAndOutputBuses)
{
    ASSERT_EQ(processor.getBusCount(true), 1);
    ASSERT_EQ(processor.getBusCount(false), 1);
    EXPECT_EQ(processor.getBus(true, 0)->getName(), "Input");
    EXPECT_EQ(processor.getBus(false, 0)->getName(), "Output");
    EXPECT_EQ(processor.getBus(true, 0)->getCurrentLayout(), juce::AudioChannelSet::stereo());
    EXPECT_TRUE(processor.getBus(false, 0)->isEnabled());
}

TEST_F(ProcessorShell, HasOneDefaultProgramThatCannotBeChanged)
{
    EXPECT_EQ(processor.getNumPrograms(), 1);
    EXPECT_EQ(processor.getProgramName(0), "Default");
    EXPECT_EQ(processor.getProgramName(1), "");
    EXPECT_EQ(processor.getProgramName(-1), "");
    processor.setCurrentProgram(3);
    processor.changeProgramName(0, "Renamed");
    EXPECT_EQ(processor.getCurrentProgram(), 0);
    EXPECT_EQ(processor.getProgramName(0), "Default");
}

TEST_F(ProcessorShell, GivesTheFixedAnswersToTheHost)
{
    EXPECT_EQ(processor.getName(), "Amberslope");
    EXPECT_FALSE(processor.acceptsMidi());
    EXPECT_FALSE(processor.producesMidi());
    EXPECT_FALSE(processor.isMidiEffect());
    EXPECT_TRUE(processor.supportsDoublePrecisionProcessing());
    EXPECT_EQ(processor.getTailLengthSeconds(), 0.0);
    EXPECT_TRUE(processor.hasEditor());
    EXPECT_FALSE(processor.isDspBypassed());
}

TEST_F(ProcessorShell, FreshStateTreeCarriesItsTypeAndVersion)
{
    EXPECT_EQ(processor.parameters.state.getType().toString(), "HeskoParameters");
    EXPECT_TRUE(processor.parameters.state.getProperty("stateVersion").isInt());
    EXPECT_EQ(static_cast<int>(processor.parameters.state.getProperty("stateVersion")), 1);
    EXPECT_EQ(processor.parameters.undoManager, nullptr);
}

TEST_F(ProcessorShell, InstancesDrawDistinctNonZeroSeeds)
{
    AmberslopeAudioProcessor other;
    EXPECT_NE(processor.getLeftNoiseSeed(), 0u);
    EXPECT_NE(processor.getRightNoiseSeed(), 0u);
    EXPECT_NE(processor.getLeftNoiseSeed(), processor.getRightNoiseSeed());
    EXPECT_NE(processor.getLeftNoiseSeed(), other.getLeftNoiseSeed());
}

TEST_F(ProcessorShell, EditorIsAFixedPanel)
{
    std::unique_ptr<juce::AudioProcessorEditor> editor(processor.createEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->getWidth(), 980);
    EXPECT_EQ(editor->getHeight(), 430);
    EXPECT_FALSE(editor->isResizable());
}
} // namespace

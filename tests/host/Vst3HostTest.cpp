// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "HostedPlugin.h"

#include <gtest/gtest.h>

namespace
{
using hesko::hosting::HostedPlugin;

// Loads the built bundle through JUCE's VST3 hosting: what any VST3 host would see.
class Vst3Host : public ::testing::Test
{
protected:
    void SetUp() override
    {
        juce::String error;
        plugin = HostedPlugin::load(juce::File(AMBERSLOPE_VST3_BUNDLE), 48000.0, 512, error);
        ASSERT_NE(plugin.instance, nullptr) << error;
    }

    HostedPlugin plugin;
};

TEST_F(Vst3Host, SeesTheIdentity)
{
    EXPECT_EQ(plugin.description.name, juce::String("Amberslope"));
    EXPECT_EQ(plugin.description.manufacturerName, juce::String("Hesko"));
    EXPECT_EQ(plugin.description.version, juce::String("0.2.0"));
    EXPECT_EQ(plugin.description.category, juce::String("Fx|EQ"));
    EXPECT_EQ(plugin.description.pluginFormatName, juce::String("VST3"));
    EXPECT_FALSE(plugin.description.isInstrument);
    EXPECT_FALSE(plugin.instance->acceptsMidi());
    EXPECT_FALSE(plugin.instance->producesMidi());
    EXPECT_TRUE(plugin.instance->hasEditor());
}

TEST_F(Vst3Host, SeesTheElevenParametersWithTheirDefaults)
{
    const struct
    {
        const char* name;
        const char* defaultText;
    } expected[] = {
        {"Low Frequency", "60"},
        {"Low Boost", "0.00"},
        {"Low Attenuation", "0.00"},
        {"High Boost Frequency", "8"},
        {"High Boost", "0.00"},
        {"High Bandwidth", "5.00"},
        {"High Attenuation Frequency", "10"},
        {"High Attenuation", "0.00"},
        {"EQ In", "On"},
        {"Analog Noise", "Off"},
        {"Output Trim", "0.00"},
    };
    const auto& params = plugin.instance->getParameters();
    // JUCE's VST3 wrapper appends the host bypass after our eleven, since we offer none of our own.
    ASSERT_EQ(params.size(), 12);
    EXPECT_EQ(params[11]->getName(100), "Bypass");
    for (int i = 0; i < 11; ++i)
    {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(params[i]->getName(100), juce::String(expected[i].name));
        EXPECT_EQ(params[i]->getText(params[i]->getDefaultValue(), 100),
                  juce::String(expected[i].defaultText));
        EXPECT_EQ(params[i]->getCurrentValueAsText(), juce::String(expected[i].defaultText));
    }
}

TEST_F(Vst3Host, LoadsMonoAndStereoButNotMonoToStereo)
{
    std::map<std::string, bool> accepted;
    for (const auto& answer : hesko::hosting::probeLayouts(*plugin.instance))
        accepted[answer.name] = answer.accepted;
    EXPECT_TRUE(accepted.at("mono"));
    EXPECT_TRUE(accepted.at("stereo"));
    EXPECT_FALSE(accepted.at("mono->stereo"));
    EXPECT_FALSE(accepted.at("5.1"));
}
} // namespace

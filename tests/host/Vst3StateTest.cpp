// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "../AudioTestSupport.h"
#include "HostedPlugin.h"

#include <gtest/gtest.h>

namespace
{
using hesko::hosting::HostedPlugin;

HostedPlugin load()
{
    juce::String error;
    auto plugin = HostedPlugin::load(juce::File(AMBERSLOPE_VST3_BUNDLE), 192000.0, 256, error);
    EXPECT_NE(plugin.instance, nullptr) << error;
    return plugin;
}

std::vector<double> noise(juce::AudioPluginInstance& plugin)
{
    plugin.prepareToPlay(192000.0, 256);
    const auto out = hesko::test::render<float>(plugin, std::vector<float>(256 * 8, 0.0f), 2, 256);
    plugin.releaseResources();
    return out[0];
}

TEST(Vst3State, ARestoredInstanceMatchesTheSavedOneAndSavesTheSameBytes)
{
    auto original = load();
    ASSERT_NE(original.instance, nullptr);
    const std::pair<const char*, const char*> settings[] = {{"lowFrequency", "30"}, {"lowBoost", "4.5"},
                                                            {"highBoost", "8"},     {"highBandwidth", "2"},
                                                            {"analogNoise", "on"},  {"outputGain", "-2.5"}};
    for (const auto& [id, value] : settings)
    {
        juce::String error;
        ASSERT_TRUE(hesko::hosting::setParameterFromText(*original.instance, id, value, error)) << error;
    }
    juce::MemoryBlock saved;
    original.instance->getStateInformation(saved);

    auto restored = load();
    ASSERT_NE(restored.instance, nullptr);
    restored.instance->setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(restored.instance->getParameters()[i]->getValue(),
                  original.instance->getParameters()[i]->getValue())
            << original.instance->getParameters()[i]->getName(64);

    const auto a = noise(*original.instance);
    const auto b = noise(*restored.instance);
    EXPECT_EQ(a, b) << "the same seeds, the same hiss";
    EXPECT_NE(a[50], 0.0);

    juce::MemoryBlock resaved;
    restored.instance->getStateInformation(resaved);
    EXPECT_EQ(resaved, saved);
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "../AudioTestSupport.h"
#include "HostedPlugin.h"
#include "dsp/circuit/FrequencyResponse.h"
#include "dsp/circuit/RealtimeEqp1aPassiveEq.h"

#include <gtest/gtest.h>

namespace
{
using hesko::hosting::HostedPlugin;
using hesko::test::Settings;

HostedPlugin loadPrepared(double rate, int block, const Settings& settings)
{
    juce::String error;
    auto plugin = HostedPlugin::load(juce::File(AMBERSLOPE_VST3_BUNDLE), rate, block, error);
    EXPECT_NE(plugin.instance, nullptr) << error;
    if (plugin.instance != nullptr)
    {
        // Offline, so a change is compiled within the next block instead of whenever the worker runs.
        plugin.instance->setNonRealtime(true);
        hesko::test::applySettings(*plugin.instance, settings);
        plugin.instance->prepareToPlay(rate, block);
    }
    return plugin;
}

double passiveNetworkDb(const hesko::dsp::PultecEqParameters& p, double processingRate, double f)
{
    hesko::dsp::circuit::RealtimeEqp1aPassiveEq eq;
    eq.prepare(processingRate, p);
    return 20.0 * std::log10(std::abs(hesko::dsp::circuit::frequencyResponse(eq.getCircuit(), f)));
}

// Through the real VST3: amplifier and over-samplers are the same for every setting and nearly linear at
// this level, so the plug-in's response relative to its own flat setting is the network's.
TEST(Vst3Audio, SmallSignalResponseFollowsThePassiveNetwork)
{
    const struct
    {
        const char* name;
        Settings settings;
    } cases[] = {
        {"low boost 10 at 60 Hz", {{"lowBoost", 10.0f}}},
        {"low boost and cut at 20 Hz", {{"lowFrequency", 0.0f}, {"lowBoost", 8.0f}, {"lowAtten", 6.0f}}},
        {"high boost 10 at 8 kHz, narrow", {{"highBoost", 10.0f}, {"highBandwidth", 0.0f}}},
        {"high attenuation 10 at 5 kHz", {{"highAttenFrequency", 0.0f}, {"highAtten", 10.0f}}},
        {"EQ In off", {{"lowBoost", 10.0f}, {"highBoost", 10.0f}, {"eqIn", 0.0f}}},
        {"everything",
         {{"lowFrequency", 3.0f},
          {"lowBoost", 5.0f},
          {"highBoostFrequency", 1.0f},
          {"highBoost", 7.0f},
          {"highAtten", 4.0f}}},
    };
    const std::vector<double> frequencies{30, 60, 100, 300, 1000, 3000, 5000, 8000, 12000, 15000};
    const double rate = 48000.0;
    const double processingRate = 4 * rate;

    auto flatPlugin = loadPrepared(rate, 512, {});
    ASSERT_NE(flatPlugin.instance, nullptr);
    const auto flat = hesko::test::measureResponseDb(*flatPlugin.instance, rate, frequencies);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto plugin = loadPrepared(rate, 512, c.settings);
        ASSERT_NE(plugin.instance, nullptr);
        const auto measured = hesko::test::measureResponseDb(*plugin.instance, rate, frequencies);

        AmberslopeAudioProcessor forRecord;
        hesko::test::applySettings(forRecord, c.settings);
        const auto record = hesko::test::requestedRecord(forRecord);
        for (std::size_t k = 0; k < frequencies.size(); ++k)
        {
            const double f = frequencies[k];
            const double expected =
                passiveNetworkDb(record, processingRate, f) - passiveNetworkDb({}, processingRate, f);
            EXPECT_NEAR(measured[k] - flat[k], expected, 0.05) << f << " Hz";
        }
    }
}

TEST(Vst3Audio, ReportsTheOversamplersLatency)
{
    for (double rate : {44100.0, 96000.0, 192000.0})
    {
        auto plugin = loadPrepared(rate, 256, {});
        ASSERT_NE(plugin.instance, nullptr);
        const double measured = hesko::test::measureDelay<float>(*plugin.instance, rate, 256);
        EXPECT_EQ(hesko::hosting::reportedLatency(*plugin.instance), std::lround(measured)) << rate;
    }
}
} // namespace

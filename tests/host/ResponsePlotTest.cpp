// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "ResponsePlot.h"
#include "../AudioTestSupport.h"
#include "HostedPlugin.h"
#include "dsp/circuit/FrequencyResponse.h"
#include "dsp/circuit/RealtimeEqp1aPassiveEq.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
using hesko::hosting::ResponseCurve;

std::vector<double> measured(const std::vector<std::pair<juce::String, juce::String>>& settings, double rate,
                             const std::vector<double>& frequencies)
{
    juce::String error;
    auto plugin = hesko::hosting::HostedPlugin::load(juce::File(AMBERSLOPE_VST3_BUNDLE), rate, 512, error);
    EXPECT_NE(plugin.instance, nullptr) << error;
    if (plugin.instance == nullptr)
        return {};
    for (const auto& [id, value] : settings)
        EXPECT_TRUE(hesko::hosting::setParameterFromText(*plugin.instance, id, value, error)) << error;
    return hesko::hosting::measureMagnitudeDb(*plugin.instance, rate, frequencies);
}

double passiveNetworkDb(const hesko::dsp::PultecEqParameters& p, double processingRate, double f)
{
    hesko::dsp::circuit::RealtimeEqp1aPassiveEq eq;
    eq.prepare(processingRate, p);
    return 20.0 * std::log10(std::abs(hesko::dsp::circuit::frequencyResponse(eq.getCircuit(), f)));
}

// The impulse measurement through the VST3, relative to the flat setting, is the passive network's
// curve: the over-samplers and the amplifier are the same for both and linear at this level.
TEST(ResponsePlot, TheImpulseMeasurementFollowsThePassiveNetwork)
{
    const double rate = 96000.0;
    const std::vector<double> frequencies{20, 60, 150, 1000, 5000, 10000, 20000};
    const auto flat = measured({}, rate, frequencies);
    const std::vector<std::pair<juce::String, juce::String>> boost{
        {"lowFrequency", "60"}, {"lowBoost", "10"}, {"highBoostFrequency", "10"}, {"highBoost", "6"}};
    const auto curve = measured(boost, rate, frequencies);
    ASSERT_EQ(flat.size(), frequencies.size());
    ASSERT_EQ(curve.size(), frequencies.size());

    AmberslopeAudioProcessor forRecord;
    hesko::test::applySettings(
        forRecord,
        {{"lowFrequency", 2.0f}, {"lowBoost", 10.0f}, {"highBoostFrequency", 4.0f}, {"highBoost", 6.0f}});
    const auto record = hesko::test::requestedRecord(forRecord);
    for (std::size_t k = 0; k < frequencies.size(); ++k)
    {
        const double f = frequencies[k];
        const double expected = passiveNetworkDb(record, 2 * rate, f) - passiveNetworkDb({}, 2 * rate, f);
        EXPECT_NEAR(curve[k] - flat[k], expected, 0.1) << f << " Hz";
    }
    EXPECT_GT(curve[1] - flat[1], 10.0) << "the boost is really there";
}

TEST(ResponsePlot, TheFrequencyAxisRunsFromTenHertzToThirtyKilohertzAndStopsShortOfNyquist)
{
    const auto wide = hesko::hosting::responseFrequencies(96000.0);
    EXPECT_NEAR(wide.front(), 10.0, 1e-9);
    EXPECT_NEAR(wide.back(), 30000.0, 1e-6);
    const auto narrow = hesko::hosting::responseFrequencies(44100.0);
    EXPECT_LE(narrow.back(), 0.95 * 22050.0);
    EXPECT_GT(narrow.back(), 0.8 * 22050.0);
}

TEST(ResponsePlot, EveryClassicFamilyCurveIsASettingThePluginTakes)
{
    std::set<juce::String> names;
    for (const auto& family : hesko::hosting::classicFamilies())
    {
        SCOPED_TRACE(family.name);
        EXPECT_TRUE(names.insert(family.name).second) << "family names are file names: unique";
        std::set<juce::String> labels;
        for (const auto& curve : family.curves)
        {
            EXPECT_TRUE(labels.insert(curve.label).second) << curve.label;
            AmberslopeAudioProcessor processor;
            for (const auto& [id, value] : curve.settings)
            {
                juce::String error;
                EXPECT_TRUE(hesko::hosting::setParameterFromText(processor, id, value, error)) << error;
                EXPECT_DOUBLE_EQ(
                    processor.parameters.getParameter(id)->getCurrentValueAsText().getDoubleValue(),
                    value.getDoubleValue())
                    << curve.label << ": " << id;
            }
        }
    }
}

TEST(ResponsePlot, TheCsvHasAColumnPerCurveAndQuotesLabelsThatNeedIt)
{
    const std::vector<double> frequencies{10.0, 1000.0};
    const std::vector<ResponseCurve> curves{{"Boost 10", {}, {1.5, -0.25}},
                                            {"Boost 5, atten 5", {}, {0.0, 2.0}}};
    const auto lines =
        juce::StringArray::fromLines(hesko::hosting::responseCsv(frequencies, curves).trimEnd());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "frequency_hz,Boost 10,\"Boost 5, atten 5\"");
    EXPECT_EQ(lines[1], "10.000,1.5000,0.0000");
    EXPECT_EQ(lines[2], "1000.000,-0.2500,2.0000");
}
} // namespace

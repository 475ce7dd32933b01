// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/circuit/PassiveNetworkSpec.h"
#include "PassiveEqFixtures.h"

#include <gtest/gtest.h>

#include <numbers>

namespace
{
using namespace hesko::dsp;
using circuit::eqp1a_model::buildNetworkSpec;
using circuit::eqp1a_model::PassiveNetworkSpec;
using circuit::eqp1a_model::warpFrequency;
constexpr double pi = std::numbers::pi;

struct FieldValue
{
    const char* field;
    double PassiveNetworkSpec::*member;
    double expected;
};

void expectSpec(const PassiveNetworkSpec& spec, const std::vector<FieldValue>& rows)
{
    for (const auto& row : rows)
        EXPECT_NEAR(spec.*row.member, row.expected, std::abs(row.expected) * 1e-14) << row.field;
}

double warp(double f, double fs)
{
    return std::tan(pi * f / fs) * fs / pi;
}

double resonatorCapacitance(double f, double fs)
{
    const double w = 2 * pi * warp(f, fs);
    return std::sqrt(1.0 / (w * 1.2e7 * w));
}

TEST(PassiveNetworkSpec, DefaultRecordIsTheFlatNetwork)
{
    const double fs = 48000.0;
    const auto spec = buildNetworkSpec(PultecEqParameters{}, fs);
    expectSpec(
        spec,
        {
            {"highBoostUpperResistance", &PassiveNetworkSpec::highBoostUpperResistance, 12000.0},
            {"highBoostLowerResistance", &PassiveNetworkSpec::highBoostLowerResistance, 0.01},
            {"highBoostCapacitance", &PassiveNetworkSpec::highBoostCapacitance,
             resonatorCapacitance(8000.0, fs)},
            {"highBoostInductance", &PassiveNetworkSpec::highBoostInductance,
             resonatorCapacitance(8000.0, fs) * 1.2e7},
            {"bandwidthResistance", &PassiveNetworkSpec::bandwidthResistance, 390.0 + 3900.0 * 0.5},
            {"highAttenUpperResistance", &PassiveNetworkSpec::highAttenUpperResistance, 1000.0},
            {"highAttenLowerResistance", &PassiveNetworkSpec::highAttenLowerResistance, 0.01},
            {"highAttenCapacitance", &PassiveNetworkSpec::highAttenCapacitance,
             1.35e-7 * 10000.0 / warp(10000.0, fs)},
            {"highAttenSeriesResistance", &PassiveNetworkSpec::highAttenSeriesResistance, 91.0},
            {"lowAttenResistance", &PassiveNetworkSpec::lowAttenResistance, 0.01},
            {"lowAttenCapacitance", &PassiveNetworkSpec::lowAttenCapacitance,
             1.866666666666667e-8 * 60.0 / warp(60.0, fs)},
            {"outputSeriesResistance", &PassiveNetworkSpec::outputSeriesResistance, 1000.0},
            {"outputShuntResistance", &PassiveNetworkSpec::outputShuntResistance, 10000.0},
            {"lowBoostResistance", &PassiveNetworkSpec::lowBoostResistance, 0.01},
            {"lowBoostCapacitance", &PassiveNetworkSpec::lowBoostCapacitance, 5.6e-7 * 60.0 / warp(60.0, fs)},
        });
}

TEST(PassiveNetworkSpec, AllMaximumRecordTurnsEveryPotToItsEnd)
{
    const double fs = 96000.0;
    const auto p = hesko::test::record(LowFrequency::hz20, 10, 10, HighBoostFrequency::khz16, 10, 10,
                                       HighAttenFrequency::khz20, 10);
    const auto spec = buildNetworkSpec(p, fs);
    expectSpec(
        spec,
        {
            {"highBoostUpperResistance", &PassiveNetworkSpec::highBoostUpperResistance,
             12000.0 * (1 - 0.965)},
            {"highBoostLowerResistance", &PassiveNetworkSpec::highBoostLowerResistance, 12000.0 * 0.965},
            {"highBoostCapacitance", &PassiveNetworkSpec::highBoostCapacitance,
             resonatorCapacitance(16000.0, fs)},
            {"bandwidthResistance", &PassiveNetworkSpec::bandwidthResistance, 390.0 + 3900.0},
            {"highAttenUpperResistance", &PassiveNetworkSpec::highAttenUpperResistance, 1000.0 * (1 - 0.945)},
            {"highAttenLowerResistance", &PassiveNetworkSpec::highAttenLowerResistance, 1000.0 * 0.945},
            {"highAttenCapacitance", &PassiveNetworkSpec::highAttenCapacitance,
             6.8e-8 * 20000.0 / warp(20000.0, fs)},
            {"lowAttenResistance", &PassiveNetworkSpec::lowAttenResistance,
             (0.9433333333 - 0.2533333333) * 110000.0},
            {"lowAttenCapacitance", &PassiveNetworkSpec::lowAttenCapacitance,
             7.333333333333334e-8 * 20.0 / warp(20.0, fs)},
            {"lowBoostResistance", &PassiveNetworkSpec::lowBoostResistance, (0.95 - 0.36) * 8200.0},
            {"lowBoostCapacitance", &PassiveNetworkSpec::lowBoostCapacitance, 2.2e-6 * 20.0 / warp(20.0, fs)},
        });
}

TEST(PassiveNetworkSpec, PotLawsAtMidTravel)
{
    // Dial 5 on every pot: the taper laws, not a linear share.
    const auto p = hesko::test::record(LowFrequency::hz60, 5, 5, HighBoostFrequency::khz8, 5, 0,
                                       HighAttenFrequency::khz10, 5);
    const auto spec = buildNetworkSpec(p, 48000.0);
    const double x = 0.5;
    EXPECT_DOUBLE_EQ(spec.lowBoostResistance, ((0.65 * x + 0.35) * x) * (0.95 - 0.36 * x) * 8200.0);
    EXPECT_DOUBLE_EQ(spec.lowAttenResistance,
                     ((0.65 * x + 0.35) * x) * (0.9433333333 - 0.2533333333 * x) * 110000.0);
    EXPECT_DOUBLE_EQ(spec.highBoostLowerResistance, 12000.0 * 0.965 * x);
    EXPECT_DOUBLE_EQ(spec.highAttenLowerResistance, 1000.0 * 0.945 * x);
    EXPECT_DOUBLE_EQ(spec.bandwidthResistance, 390.0);
}

TEST(PassiveNetworkSpec, WarpingClampsOnlyTheTangentsArgument)
{
    const double fs = 8000.0;
    EXPECT_DOUBLE_EQ(warpFrequency(16000.0, fs), std::tan(0.45 * pi) * fs / pi);
    EXPECT_DOUBLE_EQ(warpFrequency(3000.0, fs), std::tan(3.0 * pi / 8.0) * fs / pi);

    const auto at16k =
        buildNetworkSpec(hesko::test::record(LowFrequency::hz100, 0, 0, HighBoostFrequency::khz16, 0, 5,
                                             HighAttenFrequency::khz20, 0),
                         fs);
    const double w = 2 * pi * std::tan(0.45 * pi) * fs / pi;
    EXPECT_NEAR(at16k.highBoostCapacitance, std::sqrt(1.0 / (w * 1.2e7 * w)), 1e-24);
    // The 20 kHz attenuation capacitor keeps its unclamped numerator over the clamped warp.
    EXPECT_NEAR(at16k.highAttenCapacitance, 6.8e-8 * 20000.0 / (std::tan(0.45 * pi) * fs / pi), 1e-22);
}

// Where the compiled network's high-boost peak lands, digitally.
double peakFrequency(const hesko::dsp::circuit::RealtimeEqp1aPassiveEq& eq, double from, double to)
{
    double best = from;
    double bestDb = -1e9;
    for (double f = from; f <= to; f += 1.0)
    {
        const double db = hesko::test::networkDb(eq, f);
        if (db > bestDb)
        {
            bestDb = db;
            best = f;
        }
    }
    return best;
}

TEST(PassiveNetworkSpec, ResonancesLandOnTheirDigitalFrequenciesAt8kHz)
{
    const struct
    {
        HighBoostFrequency position;
        double digitalPeak;
    } cases[] = {{HighBoostFrequency::khz16, 0.45 * 8000.0}, {HighBoostFrequency::khz3, 3000.0}};
    for (const auto& c : cases)
    {
        const auto eq =
            hesko::test::preparedEq(8000.0, hesko::test::record(LowFrequency::hz60, 0, 0, c.position, 10, 0,
                                                                HighAttenFrequency::khz10, 0));
        // The bandwidth resistor and the pot load the resonator a little, so allow a few hertz.
        EXPECT_NEAR(peakFrequency(eq, 1000.0, 3999.0), c.digitalPeak, 40.0) << static_cast<int>(c.position);
    }
}
} // namespace

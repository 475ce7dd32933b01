// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "ParameterMapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using namespace hesko;
using namespace hesko::dsp;

// Plain values in host order: lowFrequency, lowBoost, lowAtten, highBoostFrequency, highBoost,
// highBandwidth, highAttenFrequency, highAtten, eqIn, analogNoise, outputGain.
PlainParameterValues defaults()
{
    return {2, 0, 0, 3, 0, 5, 1, 0, 1, 0, 0};
}

TEST(ParameterMapping, BuildsTheRequestedRecord)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct
    {
        const char* name;
        PlainParameterValues plain;
        PultecEqParameters expected;
    } cases[] = {
        {"defaults", defaults(), {}},
        {"every control moved",
         {0, 7, 3, 6, 8, 2.5f, 2, 4, 1, 0, 0},
         {LowFrequency::hz20, 7, 3, HighBoostFrequency::khz16, 8, 2.5f, HighAttenFrequency::khz20, 4}},
        {"EQ In off zeroes the amounts only",
         {3, 7, 3, 1, 8, 9, 0, 4, 0, 0, 0},
         {LowFrequency::hz100, 0, 0, HighBoostFrequency::khz4, 0, 9, HighAttenFrequency::khz5, 0}},
        {"EQ In just below half is off", {2, 7, 0, 3, 0, 5, 1, 0, 0.49f, 0, 0}, {}},
        {"choices truncate toward zero",
         {1.99f, 0, 0, 5.7f, 0, 5, 0.5f, 0, 1, 0, 0},
         {LowFrequency::hz30, 0, 0, HighBoostFrequency::khz12, 0, 5, HighAttenFrequency::khz5, 0}},
        {"out of range choices fall back", {4, 0, 0, 7, 0, 5, 3, 0, 1, 0, 0}, {}},
        {"negative choices fall back", {-1, 0, 0, -2.5f, 0, 5, -100, 0, 1, 0, 0}, {}},
        {"absurd choices fall back", {1e30f, 0, 0, -1e30f, 0, 5, nan, 0, 1, 0, 0}, {}},
    };
    for (const auto& c : cases)
    {
        const auto got = mapParameters(c.plain).equalizer;
        EXPECT_TRUE(sameParameters(got, c.expected)) << c.name;
    }
}

TEST(ParameterMapping, NoiseSwitchAndTrimGain)
{
    auto plain = defaults();
    EXPECT_FALSE(mapParameters(plain).analogNoise);
    plain[9] = 0.5f;
    EXPECT_TRUE(mapParameters(plain).analogNoise);

    const struct
    {
        float db;
        double gain;
    } trims[] = {{0.0f, 1.0},
                 {6.0f, std::pow(10.0, 0.3)},
                 {-12.0f, std::pow(10.0, -0.6)},
                 {-100.0f, 0.0},
                 {-150.0f, 0.0}};
    for (const auto& t : trims)
        EXPECT_DOUBLE_EQ(decibelsToGain(t.db), t.gain) << t.db;
}

TEST(ParameterMapping, ApproximatelySameGainFollowsTheSmoothersRule)
{
    const double eps = std::numeric_limits<double>::epsilon();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(approximatelySameGain(1.0, 1.0 + eps));
    EXPECT_FALSE(approximatelySameGain(1.0, 1.0 + 4 * eps));
    EXPECT_TRUE(approximatelySameGain(0.0, std::numeric_limits<double>::denorm_min()));
    EXPECT_TRUE(approximatelySameGain(inf, inf));
    EXPECT_FALSE(approximatelySameGain(inf, 1e308));
    EXPECT_FALSE(approximatelySameGain(std::nan(""), std::nan("")));
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/PultecEqParameters.h"
#include "dsp/Controls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace
{
using hesko::dsp::HighAttenFrequency;
using hesko::dsp::HighBoostFrequency;
using hesko::dsp::isValidParameters;
using hesko::dsp::LowFrequency;
using hesko::dsp::PultecEqParameters;
using hesko::dsp::sameParameters;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

struct ValidityCase
{
    const char* name;
    std::function<void(PultecEqParameters&)> change;
    bool valid;
};

// Each amount field is tried with the same values: the rule is the same for all five.
std::vector<ValidityCase> validityCases()
{
    std::vector<ValidityCase> cases{
        {"default record", [](auto&) {}, true},
        {"lowFrequency 3 (100 Hz)", [](auto& p) { p.lowFrequency = LowFrequency(3); }, true},
        {"lowFrequency 4", [](auto& p) { p.lowFrequency = LowFrequency(4); }, false},
        {"lowFrequency -1", [](auto& p) { p.lowFrequency = LowFrequency(-1); }, false},
        {"highBoostFrequency 6 (16 kHz)", [](auto& p) { p.highBoostFrequency = HighBoostFrequency(6); },
         true},
        {"highBoostFrequency 7", [](auto& p) { p.highBoostFrequency = HighBoostFrequency(7); }, false},
        {"highBoostFrequency -1", [](auto& p) { p.highBoostFrequency = HighBoostFrequency(-1); }, false},
        {"highAttenFrequency 2 (20 kHz)", [](auto& p) { p.highAttenFrequency = HighAttenFrequency(2); },
         true},
        {"highAttenFrequency 3", [](auto& p) { p.highAttenFrequency = HighAttenFrequency(3); }, false},
        {"highAttenFrequency -1", [](auto& p) { p.highAttenFrequency = HighAttenFrequency(-1); }, false},
    };

    const struct
    {
        const char* field;
        float PultecEqParameters::*member;
    } amounts[] = {{"lowBoost", &PultecEqParameters::lowBoost},
                   {"lowAtten", &PultecEqParameters::lowAtten},
                   {"highBoost", &PultecEqParameters::highBoost},
                   {"highBandwidth", &PultecEqParameters::highBandwidth},
                   {"highAtten", &PultecEqParameters::highAtten}};
    const struct
    {
        const char* label;
        float value;
        bool valid;
    } values[] = {{"0", 0.0f, true},
                  {"-0.0", -0.0f, true},
                  {"smallest subnormal", std::numeric_limits<float>::denorm_min(), true},
                  {"10", 10.0f, true},
                  {"next float above 10", std::nextafter(10.0f, 20.0f), false},
                  {"-1e-30", -1e-30f, false},
                  {"-1", -1.0f, false},
                  {"+inf", inf, false},
                  {"-inf", -inf, false},
                  {"NaN", nan, false}};
    for (const auto& amount : amounts)
        for (const auto& value : values)
            cases.push_back({nullptr, [member = amount.member, v = value.value](auto& p) { p.*member = v; },
                             value.valid});
    return cases;
}

TEST(PultecEqParameters, ValidityFollowsTheSwitchTablesAndTheDialRange)
{
    const auto cases = validityCases();
    for (std::size_t i = 0; i < cases.size(); ++i)
    {
        PultecEqParameters p;
        cases[i].change(p);
        EXPECT_EQ(isValidParameters(p), cases[i].valid)
            << "case " << i << (cases[i].name ? std::string(": ") + cases[i].name : std::string());
    }
}

TEST(PultecEqParameters, OneBadFieldInvalidatesAnOtherwiseGoodRecord)
{
    PultecEqParameters p;
    p.lowBoost = 10.0f;
    p.highBoost = 4.0f;
    p.highAtten = nan;
    EXPECT_FALSE(isValidParameters(p));
}

TEST(PultecEqParameters, SamenessComparesFloatsByValue)
{
    PultecEqParameters a;
    PultecEqParameters b;
    a.lowBoost = 0.0f;
    b.lowBoost = -0.0f;
    EXPECT_TRUE(sameParameters(a, b)) << "0.0 and -0.0 are the same setting";

    b.highBandwidth = 5.01f;
    EXPECT_FALSE(sameParameters(a, b));

    PultecEqParameters withNan;
    withNan.highAtten = nan;
    EXPECT_FALSE(sameParameters(withNan, withNan)) << "a NaN field never compares equal, even to itself";

    PultecEqParameters otherSwitch;
    otherSwitch.highAttenFrequency = HighAttenFrequency::khz20;
    EXPECT_FALSE(sameParameters(PultecEqParameters{}, otherSwitch));
}

TEST(PultecEqParameters, DefaultRecordIsThePanelDefault)
{
    using hesko::dsp::eqp1a_profile::Controls;
    PultecEqParameters fromControls;
    fromControls.lowFrequency = LowFrequency(Controls::lowFrequencyDefaultChoice);
    fromControls.lowBoost = Controls::amountMinimum;
    fromControls.lowAtten = Controls::amountMinimum;
    fromControls.highBoostFrequency = HighBoostFrequency(Controls::highBoostFrequencyDefaultChoice);
    fromControls.highBoost = Controls::amountMinimum;
    fromControls.highBandwidth = Controls::bandwidthDefault;
    fromControls.highAttenFrequency = HighAttenFrequency(Controls::highAttenFrequencyDefaultChoice);
    fromControls.highAtten = Controls::amountMinimum;

    const PultecEqParameters defaults;
    EXPECT_TRUE(isValidParameters(defaults));
    EXPECT_TRUE(sameParameters(defaults, fromControls));
    EXPECT_EQ(defaults.lowFrequency, LowFrequency::hz60);
    EXPECT_EQ(defaults.highBoostFrequency, HighBoostFrequency::khz8);
    EXPECT_EQ(defaults.highAttenFrequency, HighAttenFrequency::khz10);
}

} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PassiveEqFixtures.h"

#include <gtest/gtest.h>

#include <limits>
#include <numbers>
#include <stdexcept>

namespace
{
using namespace hesko::dsp;
using circuit::frequencyResponse;
using circuit::RealtimeEqp1aPassiveEq;
using hesko::test::networkDb;
using hesko::test::preparedEq;
using hesko::test::record;
using LF = LowFrequency;
using HBF = HighBoostFrequency;
using HAF = HighAttenFrequency;

// The response of a setting relative to the flat network, in dB.
double relativeDb(const PultecEqParameters& p, double f, double rate = 48000.0)
{
    return networkDb(preparedEq(rate, p), f) - networkDb(preparedEq(rate), f);
}

TEST(RealtimeEqp1aPassiveEq, CurvesMatchThePublishedFiguresAt48kHz)
{
    const struct
    {
        const char* name;
        PultecEqParameters p;
        double frequency;
        double db;
    } cases[] = {
        {"low boost 10 @60, at 60 Hz", record(LF::hz60, 10, 0, HBF::khz8, 0, 5, HAF::khz10, 0), 60, 12.1},
        {"low boost 10 @60, at 20 Hz", record(LF::hz60, 10, 0, HBF::khz8, 0, 5, HAF::khz10, 0), 20, 13.7},
        {"low atten 10 @60, at 60 Hz", record(LF::hz60, 0, 10, HBF::khz8, 0, 5, HAF::khz10, 0), 60, -16.3},
        {"both 10 @60, at 60 Hz", record(LF::hz60, 10, 10, HBF::khz8, 0, 5, HAF::khz10, 0), 60, 10.7},
        {"both 10 @60, at 300 Hz", record(LF::hz60, 10, 10, HBF::khz8, 0, 5, HAF::khz10, 0), 300, -0.8},
        {"high boost 10 @8k bw 0", record(LF::hz60, 0, 0, HBF::khz8, 10, 0, HAF::khz10, 0), 8000, 17.5},
        {"high boost 10 @8k bw 5", record(LF::hz60, 0, 0, HBF::khz8, 10, 5, HAF::khz10, 0), 8000, 11.9},
        {"high boost 10 @8k bw 10", record(LF::hz60, 0, 0, HBF::khz8, 10, 10, HAF::khz10, 0), 8000, 9.2},
        {"high atten 10 @10k, at 10 kHz", record(LF::hz60, 0, 0, HBF::khz8, 0, 5, HAF::khz10, 10), 10000,
         -13.8},
        {"high atten 10 @10k, at 20 kHz", record(LF::hz60, 0, 0, HBF::khz8, 0, 5, HAF::khz10, 10), 20000,
         -15.9},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(relativeDb(c.p, c.frequency), c.db, 0.1) << c.name;
}

TEST(RealtimeEqp1aPassiveEq, FlatSettingsAreFlatAndJustBelowUnity)
{
    const PultecEqParameters flats[] = {
        {},
        record(LF::hz20, 0, 0, HBF::khz3, 0, 0, HAF::khz5, 0),
        record(LF::hz100, 0, 0, HBF::khz16, 0, 10, HAF::khz20, 0),
    };
    for (double rate : {48000.0, 192000.0})
        for (const auto& p : flats)
        {
            SCOPED_TRACE(hesko::test::describe(p) + " @ " + std::to_string(rate));
            auto eq = preparedEq(rate, p);
            const double reference = std::abs(frequencyResponse(eq.getCircuit(), 1000.0));
            for (double f = 10.0; f < 0.45 * rate; f *= 1.17)
                EXPECT_NEAR(std::abs(frequencyResponse(eq.getCircuit(), f)) / reference, 1.0, 1e-6) << f;

            const double madeUpDb = 20.0 * std::log10(reference / eq.getInsertionGain());
            EXPECT_LT(madeUpDb, 0.0);
            EXPECT_GT(madeUpDb, -0.01);
            EXPECT_NEAR(20.0 * std::log10(reference), -23.8, 0.05);

            EXPECT_EQ(eq.processSample(1.0), eq.getCircuit().getDirectGain() / 0.0645652819565863);
        }
}

TEST(RealtimeEqp1aPassiveEq, SettledSinesMatchTheExactResponse)
{
    auto eq = preparedEq(48000.0, record(LF::hz100, 7, 3, HBF::khz5, 8, 2, HAF::khz10, 4));
    for (double f : {100.0, 1000.0, 5000.0, 15000.0})
    {
        const double expected = std::abs(frequencyResponse(eq.getCircuit(), f)) / eq.getInsertionGain();
        eq.reset();
        const double w = 2.0 * std::numbers::pi * f / 48000.0;
        double peak = 0.0;
        for (int n = 0; n < 96000; ++n)
        {
            const double y = eq.processSample(std::sin(w * n));
            if (n >= 48000)
                peak = std::max(peak, std::abs(y));
        }
        // The sampled peak of a settled sine underestimates its amplitude by at most 1 - cos(w/2).
        EXPECT_LE(peak, expected * (1.0 + 1e-9)) << f;
        EXPECT_GE(peak, expected * std::cos(w / 2.0) - 1e-9) << f;
    }
}

TEST(RealtimeEqp1aPassiveEq, InvalidRecordsThrowAndChangeNothing)
{
    auto bad = PultecEqParameters{};
    bad.lowBoost = 10.5f;

    RealtimeEqp1aPassiveEq fresh;
    try
    {
        fresh.prepare(48000.0, bad);
        FAIL() << "no exception";
    }
    catch (const std::invalid_argument& e)
    {
        EXPECT_STREQ(e.what(), "Passive EQ parameters are invalid");
    }
    EXPECT_FALSE(fresh.isPrepared());
    EXPECT_EQ(fresh.getSampleRate(), 48000.0);

    auto eq = preparedEq(44100.0, record(LF::hz30, 2, 0, HBF::khz8, 0, 5, HAF::khz10, 0));
    for (int n = 0; n < 100; ++n)
        eq.processSample(1.0);
    const double next = eq.getCircuit().getLaneState(0, 0);
    bad = PultecEqParameters{};
    bad.highAttenFrequency = HAF(-1);
    EXPECT_THROW(eq.setParameters(bad), std::invalid_argument);
    EXPECT_EQ(eq.getParameters().lowBoost, 2.0f);
    EXPECT_EQ(eq.getCircuit().getLaneState(0, 0), next) << "the running state is untouched";
}

TEST(RealtimeEqp1aPassiveEq, SameRecordKeepsRunningAndADifferentOneRestartsFromRest)
{
    auto p = record(LF::hz60, 0.0f, 3, HBF::khz8, 0, 5, HAF::khz10, 0);
    auto eq = preparedEq(48000.0, p);
    auto twin = eq;
    for (int n = 0; n < 50; ++n)
    {
        eq.processSample(0.5);
        twin.processSample(0.5);
    }
    auto negativeZero = p;
    negativeZero.lowBoost = -0.0f;
    eq.setParameters(negativeZero);
    EXPECT_EQ(eq.processSample(0.5), twin.processSample(0.5)) << "-0.0 is the same setting: state continues";

    auto changed = p;
    changed.lowAtten = 4.0f;
    eq.setParameters(changed);
    auto fromRest = preparedEq(48000.0, changed);
    EXPECT_EQ(eq.processSample(0.5), fromRest.processSample(0.5));
}

TEST(RealtimeEqp1aPassiveEq, UnpreparedInstancesStoreButStaySilent)
{
    RealtimeEqp1aPassiveEq eq;
    EXPECT_EQ(eq.processSample(1.0), 0.0);
    EXPECT_EQ(eq.processSample(1.0f), 0.0f);
    EXPECT_EQ(eq.processStereoSample(1.0, 1.0), std::make_pair(0.0, 0.0));
    auto p = record(LF::hz20, 5, 0, HBF::khz8, 0, 5, HAF::khz10, 0);
    eq.setParameters(p);
    EXPECT_EQ(eq.getParameters().lowFrequency, LF::hz20);
    EXPECT_FALSE(eq.getCircuit().isCompiled());
    EXPECT_EQ(eq.processSample(1.0), 0.0);
}

TEST(RealtimeEqp1aPassiveEq, RateIsFlooredAt8kHz)
{
    const struct
    {
        double requested;
        double stored;
    } cases[] = {{4000.0, 8000.0},
                 {std::numeric_limits<double>::quiet_NaN(), 8000.0},
                 {8000.0, 8000.0},
                 {44100.0, 44100.0}};
    for (const auto& c : cases)
    {
        auto eq = preparedEq(c.requested);
        EXPECT_EQ(eq.getSampleRate(), c.stored);
        EXPECT_EQ(eq.getCircuit().getSampleRate(), c.stored);
    }
}

TEST(RealtimeEqp1aPassiveEq, InfiniteRateFailsTheBuildWithTheElementError)
{
    RealtimeEqp1aPassiveEq eq;
    try
    {
        eq.prepare(std::numeric_limits<double>::infinity(), {});
        FAIL() << "no exception";
    }
    catch (const std::invalid_argument& e)
    {
        EXPECT_STREQ(e.what(), "Circuit element value must be finite and positive");
    }
    EXPECT_TRUE(eq.isPrepared());
    EXPECT_EQ(eq.processSample(1.0), 0.0) << "a failed build is silent";
}

TEST(RealtimeEqp1aPassiveEq, StateCarriesAcrossRecordsButNotAcrossRates)
{
    auto running = preparedEq(48000.0, record(LF::hz60, 6, 0, HBF::khz8, 0, 5, HAF::khz10, 0));
    for (int n = 0; n < 300; ++n)
        running.processSample(std::sin(0.01 * n));

    auto other = preparedEq(48000.0, record(LF::hz100, 0, 6, HBF::khz3, 9, 1, HAF::khz20, 2));
    EXPECT_TRUE(other.copyStateFrom(running));
    for (std::size_t s = 0; s < 5; ++s)
        EXPECT_EQ(other.getCircuit().getLaneState(s, 0), running.getCircuit().getLaneState(s, 0));

    auto otherRate = preparedEq(44100.0);
    otherRate.processSample(1.0);
    EXPECT_FALSE(otherRate.copyStateFrom(running));
    for (std::size_t s = 0; s < 5; ++s)
        EXPECT_EQ(otherRate.getCircuit().getLaneState(s, 0), 0.0);
}

TEST(RealtimeEqp1aPassiveEq, StereoFloatFormReturnsUnnarrowedDoubles)
{
    auto stereo = preparedEq(48000.0);
    auto mono = preparedEq(48000.0);
    const auto [left, right] = stereo.processStereoSample(1.0f, 0.0f);
    EXPECT_EQ(left, mono.processSample(1.0));
    EXPECT_EQ(right, 0.0);
    EXPECT_NE(left, static_cast<double>(static_cast<float>(left))) << "the float form does not narrow";

    auto narrow = preparedEq(48000.0);
    EXPECT_EQ(narrow.processSample(0.3f),
              static_cast<float>(preparedEq(48000.0).processSample(double(0.3f))));
}
} // namespace

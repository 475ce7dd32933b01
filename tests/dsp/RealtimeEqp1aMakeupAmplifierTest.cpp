// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/RealtimeEqp1aMakeupAmplifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace
{
using hesko::dsp::RealtimeEqp1aMakeupAmplifier;
using Amp = RealtimeEqp1aMakeupAmplifier;
constexpr double pi = std::numbers::pi;

Amp prepared(double rate)
{
    Amp amp;
    amp.prepare(rate);
    return amp;
}

TEST(MakeupAmplifier, CoefficientsFollowTheRate)
{
    for (double requested : {0.0, -5.0, 1.0, 48000.0, 176400.0, 192000.0})
    {
        SCOPED_TRACE(requested);
        const double fs = std::max(requested, 1.0);
        const double dt = 1.0 / fs;
        const auto c = prepared(requested).getCoefficients();
        const double r2 = 1.0 / (2 * pi * 2), r5 = 1.0 / (2 * pi * 5);
        EXPECT_DOUBLE_EQ(c.inputHighPass, r2 / (r2 + dt));
        EXPECT_DOUBLE_EQ(c.interstageHighPass, r2 / (r2 + dt));
        EXPECT_DOUBLE_EQ(c.outputHighPass, r5 / (r5 + dt));
        EXPECT_DOUBLE_EQ(c.inputLowPass, 1.0 - std::exp(-2 * pi * 110000 / fs));
        EXPECT_DOUBLE_EQ(c.interstageLowPass, 1.0 - std::exp(-2 * pi * 150000 / fs));
        EXPECT_DOUBLE_EQ(c.saturationLowPass, 1.0 - std::exp(-2 * pi * 90 / fs));
        EXPECT_DOUBLE_EQ(c.outputLowPass, 1.0 - std::exp(-2 * pi * 85000 / fs));
    }
    const auto fresh = Amp{}.getCoefficients();
    EXPECT_EQ(fresh.inputHighPass, 0.999);
    EXPECT_EQ(fresh.inputLowPass, 0.5);
    EXPECT_EQ(fresh.saturationLowPass, 0.01);
}

TEST(MakeupAmplifier, SettersClampToTheirRanges)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        const char* setter;
        double requested;
        double stored;
    } cases[] = {
        {"source", 0.0, 1.0},   {"source", 600.0, 600.0}, {"source", 2e5, 1e5}, {"load", 10.0, 75.0},
        {"load", 600.0, 600.0}, {"load", 1e9, 1e5},       {"gain", -1.0, 0.0},  {"gain", 20.0, 8.0},
        {"gain", 2.0, 2.0},     {"gain", nan, 0.0},       {"load", nan, 75.0},
    };
    for (const auto& c : cases)
    {
        Amp amp;
        const std::string setter = c.setter;
        if (setter == "source")
        {
            amp.setInputSourceImpedance(c.requested);
            EXPECT_EQ(amp.getInputSourceImpedance(), c.stored) << c.requested;
        }
        else if (setter == "load")
        {
            amp.setOutputLoadImpedance(c.requested);
            EXPECT_EQ(amp.getOutputLoadImpedance(), c.stored) << c.requested;
        }
        else
        {
            amp.setNoiseCalibrationGain(c.requested);
            EXPECT_EQ(amp.getNoiseCalibrationGain(), c.stored) << c.requested;
        }
    }
}

// Amplitude and phase of the settled response to a sine, by least squares over whole seconds.
std::complex<double> settledResponse(Amp amp, double rate, double frequency, double amplitude)
{
    const double w = 2 * pi * frequency / rate;
    const int settle = static_cast<int>(2 * rate);
    for (int n = 0; n < settle; ++n)
        amp.processSample(amplitude * std::sin(w * n));
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (int n = settle; n < settle + static_cast<int>(rate); ++n)
    {
        const double s = std::sin(w * n), c = std::cos(w * n);
        const double y = amp.processSample(amplitude * s);
        ss += s * s, sc += s * c, cc += c * c, ys += y * s, yc += y * c;
    }
    const double det = ss * cc - sc * sc;
    return {(ys * cc - yc * sc) / det / amplitude, (yc * ss - ys * sc) / det / amplitude};
}

TEST(MakeupAmplifier, SmallSignalGainIsUnityAtMidBandAndFallsSlightlyAt20Hz)
{
    for (double rate : {176400.0, 192000.0})
    {
        SCOPED_TRACE(rate);
        const auto amp = prepared(rate);
        EXPECT_NEAR(20 * std::log10(std::abs(settledResponse(amp, rate, 1000.0, 1e-3))), 0.0, 0.01);
        EXPECT_NEAR(20 * std::log10(std::abs(settledResponse(amp, rate, 20.0, 1e-3))), -0.35, 0.05);
    }
}

TEST(MakeupAmplifier, BlocksDcAndKeepsSilenceExactlySilent)
{
    auto amp = prepared(192000.0);
    double y = 0.0;
    for (int n = 0; n < 192000 * 3; ++n)
        y = amp.processSample(0.5);
    EXPECT_LT(std::abs(y), 1e-9);

    auto silent = prepared(192000.0);
    silent.setNoiseSeed(1234);
    for (int n = 0; n < 10000; ++n)
        ASSERT_EQ(silent.processSample(0.0), 0.0);
    EXPECT_EQ(silent.getNoiseState(), 1234u) << "the generator only runs while the noise is on";
}

// Harmonic levels below the fundamental of a settled 1 kHz sine (Blackman-Harris windowed DFT).
std::vector<double> harmonicsDb(double amplitude, double rate)
{
    auto amp = prepared(rate);
    const double f = 1000.0;
    const double w = 2 * pi * f / rate;
    const int settle = static_cast<int>(rate);
    for (int n = 0; n < settle; ++n)
        amp.processSample(amplitude * std::sin(w * n));
    const int length = static_cast<int>(rate / 2); // 500 whole periods
    std::vector<double> y(static_cast<std::size_t>(length));
    for (int n = 0; n < length; ++n)
        y[static_cast<std::size_t>(n)] = amp.processSample(amplitude * std::sin(w * (n + settle)));

    const auto level = [&](int harmonic)
    {
        std::complex<double> sum = 0.0;
        for (int n = 0; n < length; ++n)
        {
            const double x = 2 * pi * n / length;
            const double window =
                0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
            sum += window * y[static_cast<std::size_t>(n)] * std::polar(1.0, -w * harmonic * n);
        }
        return std::abs(sum);
    };
    const double fundamental = level(1);
    return {20 * std::log10(level(2) / fundamental), 20 * std::log10(level(3) / fundamental)};
}

TEST(MakeupAmplifier, DistortionMatchesItsCharacter)
{
    const struct
    {
        double amplitude;
        double second;
        double third;
    } cases[] = {{1.0, -59.0, -62.0}, {0.1, -83.0, -102.0}};
    for (const auto& c : cases)
    {
        const auto h = harmonicsDb(c.amplitude, 192000.0);
        EXPECT_NEAR(h[0], c.second, 1.5) << "2nd harmonic at amplitude " << c.amplitude;
        EXPECT_NEAR(h[1], c.third, 1.5) << "3rd harmonic at amplitude " << c.amplitude;
    }
}

TEST(MakeupAmplifier, NoiseStartsFromItsSeed)
{
    auto amp = prepared(192000.0);
    amp.setNoiseSeed(1);
    amp.setAnalogNoiseEnabled(true);
    const double y = amp.processSample(0.0);
    EXPECT_EQ(amp.getNoiseState(), 270369u);
    const double n = (2.0 * 270369.0 / 4294967295.0 - 1.0) * 7.72e-6;
    EXPECT_GT(n, -7.72e-6);
    EXPECT_EQ(y, amp.getCoefficients().outputHighPass * n) << "silence in: the noise through the DC blocker";
}

std::vector<double> noiseRun(Amp& amp, int length)
{
    std::vector<double> out;
    for (int i = 0; i < length; ++i)
        out.push_back(amp.processSample(0.0));
    return out;
}

TEST(MakeupAmplifier, NoiseSequenceRestartsResumesAndRepeatsAsSpecified)
{
    const auto start = [](std::uint32_t seed)
    {
        auto amp = prepared(96000.0);
        amp.setNoiseSeed(seed);
        amp.setAnalogNoiseEnabled(true);
        return amp;
    };
    auto zeroSeed = start(0);
    auto defaultSeed = start(0x6d2b79f5u);
    EXPECT_EQ(zeroSeed.getNoiseSeed(), 0x6d2b79f5u);
    EXPECT_EQ(noiseRun(zeroSeed, 100), noiseRun(defaultSeed, 100));

    // Off and on again resumes where it stopped.
    auto paused = start(99);
    auto straight = start(99);
    noiseRun(paused, 10);
    paused.setAnalogNoiseEnabled(false);
    noiseRun(paused, 5);
    const auto stateWhilePaused = paused.getNoiseState();
    paused.setAnalogNoiseEnabled(true);
    noiseRun(straight, 10);
    EXPECT_EQ(stateWhilePaused, straight.getNoiseState());

    // reset and prepare restart from the seed.
    auto restarted = start(99);
    const auto first = noiseRun(restarted, 50);
    restarted.reset();
    EXPECT_EQ(noiseRun(restarted, 50), first);
    restarted.prepare(96000.0);
    EXPECT_EQ(noiseRun(restarted, 50), first);
}

TEST(MakeupAmplifier, NoiseLevelAndCalibrationGain)
{
    const auto rmsDb = [](double gain)
    {
        auto amp = prepared(192000.0);
        amp.setNoiseSeed(777);
        amp.setNoiseCalibrationGain(gain);
        amp.setAnalogNoiseEnabled(true);
        double sum = 0.0;
        const int length = 192000;
        for (int i = 0; i < length; ++i)
        {
            const double y = amp.processSample(0.0);
            sum += y * y;
        }
        return 10 * std::log10(sum / length);
    };
    EXPECT_NEAR(rmsDb(1.0), -107.0, 0.3);
    EXPECT_NEAR(rmsDb(2.0), -107.0 + 20 * std::log10(2.0), 0.3);
    EXPECT_NEAR(rmsDb(20.0), -107.0 + 20 * std::log10(8.0), 0.3) << "the gain stops at 8";
    EXPECT_EQ(rmsDb(0.0), -std::numeric_limits<double>::infinity()) << "no noise at gain 0";
}

TEST(MakeupAmplifier, FloatFormIsTheNarrowedDoubleForm)
{
    auto f = prepared(176400.0);
    auto d = prepared(176400.0);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> x(-1.5f, 1.5f);
    for (int n = 0; n < 20000; ++n)
    {
        const float in = x(rng);
        ASSERT_EQ(f.processSample(in), static_cast<float>(d.processSample(static_cast<double>(in)))) << n;
    }
}

TEST(MakeupAmplifier, StereoPairEqualsTwoMonoRunsBitForBit)
{
    const auto configure = [](Amp& amp, std::uint32_t seed, double load)
    {
        amp.prepare(192000.0);
        amp.setNoiseSeed(seed);
        amp.setNoiseCalibrationGain(2.0);
        amp.setOutputLoadImpedance(load);
        amp.setAnalogNoiseEnabled(true);
    };
    Amp monoL, monoR, pairL, pairR, blockL, blockR;
    configure(monoL, 11, 600.0);
    configure(monoR, 22, 150.0);
    configure(pairL, 11, 600.0);
    configure(pairR, 22, 150.0);
    configure(blockL, 11, 600.0);
    configure(blockR, 22, 150.0);
    blockR.setInputSourceImpedance(50.0);
    monoR.setInputSourceImpedance(50.0);
    pairR.setInputSourceImpedance(50.0);

    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> x(-2.0, 2.0);
    std::vector<double> left(200000), right(200000);
    for (std::size_t i = 0; i < left.size(); ++i)
    {
        left[i] = x(rng);
        right[i] = i % 1000 < 500 ? x(rng) : 0.0;
    }

    auto blockLeft = left, blockRight = right;
    for (std::size_t start = 0; start < left.size(); start += 777)
    {
        const auto count = std::min<std::size_t>(777, left.size() - start);
        Amp::processStereoBlock(blockL, blockR, blockLeft.data() + start, blockRight.data() + start, count);
    }
    for (std::size_t i = 0; i < left.size(); ++i)
    {
        if (i == left.size() / 2)
        {
            // Switching one channel's noise off mid-run keeps the pair in step with the mono runs.
            for (Amp* amp : {&monoR, &pairR})
                amp->setAnalogNoiseEnabled(false);
        }
        const double l = monoL.processSample(left[i]);
        const double r = monoR.processSample(right[i]);
        const auto pair = Amp::processStereoSample(pairL, pairR, left[i], right[i]);
        ASSERT_EQ(pair.first, l) << i;
        ASSERT_EQ(pair.second, r) << i;
        if (i < left.size() / 2)
        {
            ASSERT_EQ(blockLeft[i], l) << i;
            ASSERT_EQ(blockRight[i], r) << i;
        }
    }
    EXPECT_EQ(pairL.getNoiseState(), monoL.getNoiseState());
    EXPECT_EQ(pairR.getNoiseState(), monoR.getNoiseState());
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "AudioTestSupport.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using hesko::test::setPlain;

TEST(AudioPath, OversamplingFactorAndLatencyByHostRate)
{
    const struct
    {
        double rate;
        std::size_t factor;
    } cases[] = {{44100, 4}, {48000, 4}, {88200, 2}, {96000, 2}, {176400, 1}, {192000, 1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.rate);
        AmberslopeAudioProcessor processor;
        processor.prepareToPlay(c.rate, 256);
        EXPECT_EQ(processor.getOversamplingFactor(), c.factor);
        const double measured = hesko::test::measureDelay<float>(processor, c.rate, 256);
        EXPECT_EQ(processor.getLatencySamples(), std::lround(measured)) << "measured delay " << measured;
        EXPECT_EQ(processor.getLatencySamples() == 0, c.factor == 1);
        EXPECT_EQ(processor.getTailLengthSeconds(), 0.0);
    }
}

template <typename Sample> void expectPassThrough(AmberslopeAudioProcessor& processor)
{
    juce::AudioBuffer<Sample> buffer(2, 300);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 300; ++i)
            buffer.setSample(ch, i, static_cast<Sample>(std::sin(0.1 * i + ch) * 0.7));
    auto copy = buffer;
    setPlain(processor, "outputGain", 9.0f);
    juce::MidiBuffer midi;
    processor.processBlock(buffer, midi);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 300; ++i)
            ASSERT_EQ(buffer.getSample(ch, i), copy.getSample(ch, i));
}

TEST(AudioPath, UnpreparedAndBypassedProcessorsPassAudioThroughUntouched)
{
    AmberslopeAudioProcessor unprepared;
    expectPassThrough<float>(unprepared);
    expectPassThrough<double>(unprepared);

    // No circuit compiles at an infinite rate, not even the safe one.
    AmberslopeAudioProcessor bypassed;
    bypassed.prepareToPlay(std::numeric_limits<double>::infinity(), 300);
    EXPECT_TRUE(bypassed.isDspBypassed());
    EXPECT_EQ(bypassed.getLatencySamples(), 0);
    expectPassThrough<float>(bypassed);
    expectPassThrough<double>(bypassed);

    // A successful preparation leaves the bypass.
    bypassed.prepareToPlay(48000.0, 300);
    EXPECT_FALSE(bypassed.isDspBypassed());
    EXPECT_GT(bypassed.getLatencySamples(), 0);
}

TEST(AudioPath, FloatAndDoublePathsAgree)
{
    AmberslopeAudioProcessor f, d;
    for (auto* p : {&f, &d})
    {
        setPlain(*p, "lowBoost", 6.0f);
        setPlain(*p, "highBoost", 4.0f);
        p->prepareToPlay(48000.0, 512);
    }
    const auto input = hesko::test::tone(48000.0, {100.0, 5000.0}, 0.3, 48000);
    const auto outFloat = hesko::test::render<float>(f, input, 2, 512);
    const auto outDouble = hesko::test::render<double>(d, input, 2, 512);
    double worst = 0.0;
    for (std::size_t i = 0; i < outFloat[0].size(); ++i)
        worst = std::max(worst, std::abs(outFloat[0][i] - outDouble[0][i]));
    EXPECT_LT(worst, 1e-5);
}

TEST(AudioPath, MonoIsTheStereoLeftLane)
{
    AmberslopeAudioProcessor mono, stereo;
    mono.setPlayConfigDetails(1, 1, 48000.0, 512);
    for (auto* p : {&mono, &stereo})
    {
        setPlain(*p, "lowAtten", 5.0f);
        setPlain(*p, "highAtten", 3.0f);
        p->prepareToPlay(48000.0, 512);
    }
    const auto input = hesko::test::tone(48000.0, {440.0}, 0.5, 9000);
    const auto m = hesko::test::render<double>(mono, input, 1, 512);
    const auto s = hesko::test::render<double>(stereo, input, 2, 512);
    ASSERT_EQ(m.size(), 1u);
    for (std::size_t i = 0; i < m[0].size(); ++i)
        ASSERT_EQ(m[0][i], s[0][i]) << i;
}

TEST(AudioPath, UnchangedBlocksPublishNothing)
{
    AmberslopeAudioProcessor processor;
    processor.prepareToPlay(48000.0, 128);
    const auto input = hesko::test::tone(48000.0, {1000.0}, 0.1, 128 * 5);
    hesko::test::render<float>(processor, input, 2, 128);
    const auto before = processor.getCircuitHealth().requestedSequence;
    hesko::test::render<float>(processor, input, 2, 128);
    EXPECT_EQ(processor.getCircuitHealth().requestedSequence, before);
    setPlain(processor, "highBandwidth", 7.0f);
    hesko::test::render<float>(processor, input, 2, 128);
    EXPECT_EQ(processor.getCircuitHealth().requestedSequence, before + 2);
}

TEST(AudioPath, OfflineRenderingAppliesAChangeWithinTheNextBlock)
{
    AmberslopeAudioProcessor processor;
    processor.setNonRealtime(true);
    processor.prepareToPlay(48000.0, 512);
    setPlain(processor, "lowBoost", 8.0f);
    hesko::test::render<float>(processor, hesko::test::tone(48000.0, {60.0}, 0.1, 512), 2, 512);
    const auto health = processor.getCircuitHealth();
    EXPECT_EQ(health.requestedSequence, 4u);
    EXPECT_EQ(health.appliedSequence, 4u) << "compiled in beginBlock and faded in within the 512 samples";
}

TEST(AudioPath, TrimGlidesGeometricallyAndLandsExactlyOnItsTarget)
{
    // Two identical processors; only one moves its trim. Their outputs' ratio is the trim gain.
    AmberslopeAudioProcessor still, moved;
    for (auto* p : {&still, &moved})
        p->prepareToPlay(48000.0, 2000);
    const auto input = hesko::test::tone(48000.0, {997.0}, 0.2, 2000);
    hesko::test::render<double>(still, input, 2, 2000);
    hesko::test::render<double>(moved, input, 2, 2000);
    setPlain(moved, "outputGain", 6.0f);
    const auto a = hesko::test::render<double>(still, input, 2, 2000);
    const auto b = hesko::test::render<double>(moved, input, 2, 2000);

    const double target = std::pow(10.0, 6.0 / 20.0);
    const double step = std::pow(target, 1.0 / 960.0);
    double expected = 1.0;
    for (int j = 0; j < 2000; ++j)
    {
        expected = j < 959 ? expected * step : target;
        if (std::abs(a[0][j]) < 1e-3)
            continue;
        ASSERT_NEAR(b[0][j] / a[0][j], expected, 1e-9 * target) << "sample " << j + 1;
        ASSERT_NEAR(b[1][j] / a[1][j], expected, 1e-9 * target) << "right, sample " << j + 1;
    }
    // On the 960th sample the gain is the target itself, not a product of steps.
    EXPECT_EQ(b[0][959], a[0][959] * target);
}

TEST(AudioPath, TrimJumpsBeforePrepareOnResetAndOnANewPrepare)
{
    const auto ratioAfter = [](const std::function<void(AmberslopeAudioProcessor&)>& action)
    {
        AmberslopeAudioProcessor still, moved;
        for (auto* p : {&still, &moved})
            p->prepareToPlay(48000.0, 512);
        const auto input = hesko::test::tone(48000.0, {997.0}, 0.2, 512);
        for (auto* p : {&still, &moved})
            hesko::test::render<double>(*p, input, 2, 512);
        setPlain(moved, "outputGain", -6.0f);
        action(moved);
        action(still);
        const auto a = hesko::test::render<double>(still, input, 2, 512);
        const auto b = hesko::test::render<double>(moved, input, 2, 512);
        return b[0][10] / a[0][10];
    };
    const double target = std::pow(10.0, -6.0 / 20.0);
    EXPECT_NEAR(ratioAfter([](auto& p) { p.reset(); }), target, 1e-12);
    EXPECT_NEAR(ratioAfter([](auto& p) { p.prepareToPlay(48000.0, 512); }), target, 1e-12);

    AmberslopeAudioProcessor early;
    setPlain(early, "outputGain", 12.0f);
    early.updateDspParameters(); // before any prepare: no ramp
    AmberslopeAudioProcessor reference;
    early.prepareToPlay(48000.0, 512);
    reference.prepareToPlay(48000.0, 512);
    const auto input = hesko::test::tone(48000.0, {997.0}, 0.2, 512);
    const auto a = hesko::test::render<double>(reference, input, 2, 512);
    const auto b = hesko::test::render<double>(early, input, 2, 512);
    EXPECT_NEAR(b[0][5] / a[0][5], std::pow(10.0, 12.0 / 20.0), 1e-12);
}

TEST(AudioPath, NonFiniteInputIsSilencedAndAudioRecoversAtOnce)
{
    for (double rate : {44100.0, 96000.0, 192000.0})
    {
        SCOPED_TRACE(rate);
        AmberslopeAudioProcessor hit, clean;
        for (auto* p : {&hit, &clean})
            p->prepareToPlay(rate, 256);
        auto poisoned = hesko::test::tone(rate, {300.0}, 0.3, 256);
        auto silentThere = poisoned;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        for (int i : {3, 50, 51, 200})
        {
            poisoned[static_cast<std::size_t>(i)] = i % 2 ? nan : (i == 50 ? inf : -inf);
            silentThere[static_cast<std::size_t>(i)] = 0.0f;
        }
        const auto a = hesko::test::render<float>(hit, poisoned, 2, 256);
        const auto b = hesko::test::render<float>(clean, silentThere, 2, 256);
        EXPECT_EQ(a, b) << "a non-finite sample counts as silence";
        const auto next = hesko::test::tone(rate, {300.0}, 0.3, 1024);
        const auto c = hesko::test::render<float>(hit, next, 2, 256);
        const auto d = hesko::test::render<float>(clean, next, 2, 256);
        EXPECT_EQ(c, d) << "and leaves no trace";
    }
}

TEST(AudioPath, SamplesBeyondSixtyDecibelsAboveFullScaleCountAsSilenceLouderAudioBelowDoesNot)
{
    const struct
    {
        float sample;
        bool silenced;
    } cases[] = {{1e30f, true}, {-3e38f, true}, {1000.5f, true}, {-999.0f, false}, {16.0f, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.sample);
        AmberslopeAudioProcessor hit, zeroed;
        for (auto* p : {&hit, &zeroed})
            p->prepareToPlay(48000.0, 256);
        auto input = hesko::test::tone(48000.0, {300.0}, 0.3, 256);
        auto silentThere = input;
        input[100] = c.sample;
        silentThere[100] = 0.0f;
        const auto a = hesko::test::render<float>(hit, input, 2, 256);
        const auto b = hesko::test::render<float>(zeroed, silentThere, 2, 256);
        EXPECT_EQ(a == b, c.silenced);
    }
}

TEST(AudioPath, BlocksLongerThanAnnouncedAreProcessedInPieces)
{
    AmberslopeAudioProcessor chunked, regular;
    chunked.prepareToPlay(48000.0, 100);
    regular.prepareToPlay(48000.0, 100);
    const auto input = hesko::test::tone(48000.0, {250.0, 3000.0}, 0.25, 1000);
    const auto a = hesko::test::render<float>(chunked, input, 2, 1000); // ten times the announced size
    const auto b = hesko::test::render<float>(regular, input, 2, 100);
    // One parameter poll per host block either way: outputs agree sample for sample.
    EXPECT_EQ(a, b);
}

} // namespace

namespace
{
// At 192 kHz nothing is over-sampled and silence leaves the passive network at exactly zero, so with
// noise on the output is each amplifier's noise, which a reference amplifier can reproduce.
TEST(AudioPath, NoiseResumesAfterOffAndRestartsOnReset)
{
    using hesko::dsp::RealtimeEqp1aMakeupAmplifier;
    AmberslopeAudioProcessor processor;
    processor.prepareToPlay(192000.0, 256);
    RealtimeEqp1aMakeupAmplifier left, right;
    for (auto* amp : {&left, &right})
    {
        amp->prepare(192000.0);
        amp->setNoiseCalibrationGain(1.0);
    }
    left.setNoiseSeed(processor.getLeftNoiseSeed());
    right.setNoiseSeed(processor.getRightNoiseSeed());

    const std::vector<float> silence(256, 0.0f);
    const auto run = [&](bool noise, int blocks)
    {
        setPlain(processor, "analogNoise", noise ? 1.0f : 0.0f);
        left.setAnalogNoiseEnabled(noise);
        right.setAnalogNoiseEnabled(noise);
        for (int b = 0; b < blocks; ++b)
        {
            const auto out = hesko::test::render<double>(processor, silence, 2, 256);
            for (std::size_t i = 0; i < 256; ++i)
            {
                ASSERT_EQ(out[0][i], left.processSample(0.0)) << "left, block " << b << ", sample " << i;
                ASSERT_EQ(out[1][i], right.processSample(0.0)) << "right, block " << b << ", sample " << i;
            }
        }
    };
    run(true, 4);
    run(false, 3);
    run(true, 4); // continues where it stopped, not from the seed
    processor.reset();
    left.reset();
    right.reset();
    run(true, 4); // from the seeds again
    EXPECT_NE(processor.getLeftNoiseSeed(), processor.getRightNoiseSeed());
}
} // namespace

namespace
{
TEST(AudioPath, MonoUsesTheLeftAmplifierAlone)
{
    using hesko::dsp::RealtimeEqp1aMakeupAmplifier;
    AmberslopeAudioProcessor processor;
    processor.setPlayConfigDetails(1, 1, 192000.0, 256);
    processor.prepareToPlay(192000.0, 256);
    setPlain(processor, "analogNoise", 1.0f);
    RealtimeEqp1aMakeupAmplifier left;
    left.prepare(192000.0);
    left.setNoiseSeed(processor.getLeftNoiseSeed());
    left.setAnalogNoiseEnabled(true);
    const auto out = hesko::test::render<double>(processor, std::vector<float>(1024, 0.0f), 1, 256);
    ASSERT_EQ(out.size(), 1u);
    for (std::size_t i = 0; i < out[0].size(); ++i)
        ASSERT_EQ(out[0][i], left.processSample(0.0)) << i;
}

int compilationThreads()
{
    int count = 0;
    for (const auto& task : juce::File("/proc/self/task").findChildFiles(juce::File::findDirectories, false))
        count += task.getChildFile("comm").loadFileAsString().trim() == "amberslope-comp" ? 1 : 0;
    return count;
}

TEST(AudioPath, EveryProcessorSharesTheOneCompilationThread)
{
    std::vector<std::unique_ptr<AmberslopeAudioProcessor>> processors;
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0})
    {
        processors.push_back(std::make_unique<AmberslopeAudioProcessor>());
        processors.back()->prepareToPlay(rate, 128);
    }
    EXPECT_EQ(compilationThreads(), 1);
    processors.clear();
    EXPECT_EQ(compilationThreads(), 1) << "the thread lives as long as the module";
}
} // namespace

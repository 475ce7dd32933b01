// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// The life of an instance as strict hosts lead it, through the real VST3: prepared again without a
// release, processed after a release, the editor opened and closed while audio runs.
#include "HostTortureSupport.h"

#include <atomic>
#include <thread>

namespace
{
using namespace hesko::test::torture;
namespace counters = hesko::test::audio_thread;

std::vector<double> toneAt(double rate, std::size_t length)
{
    return asDoubles(hesko::test::tone(rate, {440.0}, 0.2, length));
}

template <typename Sample> void preparedAgainWithoutRelease(Precision precision)
{
    auto plugin = loadHosted(precision, 48000.0, 512);
    ASSERT_NE(plugin.instance, nullptr);
    auto& instance = *plugin.instance;
    std::string unclean;
    stream<Sample>(
        instance, toneAt(48000.0, 4800), 512, [] { return 512; }, &unclean);

    // A new rate and block size, no release in between: the new preparation is the one in force.
    instance.prepareToPlay(96000.0, 64);
    EXPECT_EQ(hesko::hosting::reportedLatency(instance), 4);
    const auto again = stream<Sample>(
        instance, toneAt(96000.0, 9600), 64, [] { return 64; }, &unclean);
    EXPECT_EQ(unclean, "");

    auto fresh = loadHosted(precision, 96000.0, 64);
    ASSERT_NE(fresh.instance, nullptr);
    const auto reference = stream<Sample>(*fresh.instance, toneAt(96000.0, 9600), 64, [] { return 64; });
    ASSERT_EQ(again.size(), reference.size());
    // The first preparation's signal state is gone: the output is a fresh instance's.
    for (std::size_t n = 0; n < again.size(); ++n)
        ASSERT_NEAR(again[n], reference[n], 1e-6) << n;
}

template <typename Sample> void processedAfterRelease(Precision precision)
{
    auto plugin = loadHosted(precision, 44100.0, 256);
    ASSERT_NE(plugin.instance, nullptr);
    auto& instance = *plugin.instance;
    std::string unclean;
    stream<Sample>(
        instance, toneAt(44100.0, 4410), 256, [] { return 256; }, &unclean);
    instance.releaseResources();
    // A host that processes after the release must get clean audio back, not a crash.
    counters::resetCounts();
    stream<Sample>(
        instance, toneAt(44100.0, 4410), 256, [] { return 256; }, &unclean);
    expectNoAllocationOrLock("processing after a release");
    EXPECT_EQ(unclean, "");
    // And a new preparation brings it back.
    instance.prepareToPlay(44100.0, 256);
    const auto back = stream<Sample>(
        instance, toneAt(44100.0, 44100), 256, [] { return 256; }, &unclean);
    EXPECT_EQ(unclean, "");
    EXPECT_GT(*std::max_element(back.begin(), back.end()), 0.05);
}

TEST(Vst3Lifecycle, PreparedAgainWithoutAReleaseTheNewPreparationHolds)
{
    preparedAgainWithoutRelease<float>(Precision::single);
    preparedAgainWithoutRelease<double>(Precision::twice);
}

TEST(Vst3Lifecycle, ProcessingAfterAReleaseIsCleanAndAPreparationBringsItBack)
{
    processedAfterRelease<float>(Precision::single);
    processedAfterRelease<double>(Precision::twice);
}

TEST(Vst3Lifecycle, TheEditorOpensAndClosesWhileAudioRuns)
{
    auto plugin = loadHosted(Precision::single, 48000.0, 128);
    ASSERT_NE(plugin.instance, nullptr);
    auto& instance = *plugin.instance;
    BackgroundAudio<float> audio(instance, 128);
    for (int round = 0; round < 20; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor(instance.createEditorIfNeeded());
        ASSERT_NE(editor, nullptr);
        // Automation while it is open reaches the editor through its attachments.
        hesko::test::setPlain(instance, "lowBoost", static_cast<float>(round % 10));
        juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
    }
    EXPECT_EQ(audio.stop(), "");
    expectNoAllocationOrLock("the editor opened and closed while processing");
}
} // namespace

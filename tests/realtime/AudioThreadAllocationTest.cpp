// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// Proof that real-time processBlock neither allocates nor locks: allocations, frees and mutex locks
// are counted on the audio thread while it is inside processBlock.
#include "../AudioTestSupport.h"
#include "AudioThreadCounters.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <random>
#include <thread>

namespace
{
using hesko::test::setPlain;
namespace counters = hesko::test::audio_thread;

template <typename Sample>
void watchedBlock(AmberslopeAudioProcessor& processor, juce::AudioBuffer<Sample>& buffer,
                  juce::MidiBuffer& midi)
{
    const counters::Watch watch;
    processor.processBlock(buffer, midi);
}

TEST(AudioThreadAllocation, TheCountersSeeAnAllocationAndALock)
{
    // The instrument itself: a watched allocation and a watched lock are counted.
    counters::resetCounts();
    std::mutex mutex;
    int* p = nullptr;
    {
        const counters::Watch watch;
        p = new int(3);
        mutex.lock();
    }
    mutex.unlock();
    delete p;
    EXPECT_EQ(counters::counts().allocations, 1);
    EXPECT_EQ(counters::counts().locks, 1);
}

template <typename Sample> void runRealtimeBlocks(int channels, double rate)
{
    AmberslopeAudioProcessor processor;
    processor.setPlayConfigDetails(channels, channels, rate, 256);
    processor.prepareToPlay(rate, 256);
    setPlain(processor, "analogNoise", 1.0f);

    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio(
        [&]
        {
            std::mt19937 rng(5);
            juce::AudioBuffer<Sample> buffer(channels, 1024);
            juce::MidiBuffer midi;
            for (int b = 0; !stop.load() || b < 400; ++b)
            {
                // Mostly the announced size, sometimes less, sometimes four times more.
                const int length = b % 17 == 0 ? 1024 : static_cast<int>(1 + rng() % 256);
                buffer.setSize(channels, length, false, false, true);
                for (int ch = 0; ch < channels; ++ch)
                    for (int i = 0; i < length; ++i)
                        buffer.setSample(ch, i, static_cast<Sample>(std::sin(0.01 * (i + b * 7)) * 0.5));
                if (b == 50)
                    counters::resetCounts(); // warm-up over
                watchedBlock(processor, buffer, midi);
                blocks.fetch_add(1);
            }
        });

    // Automation from another thread while the audio thread runs: every change compiles a circuit
    // and fades it in.
    std::mt19937 rng(9);
    const char* ids[] = {"lowBoost", "lowAtten", "highBoost", "highBandwidth", "highAtten", "outputGain"};
    while (blocks.load() < 400)
    {
        setPlain(processor, ids[rng() % 6], static_cast<float>(rng() % 10));
        setPlain(processor, "highBoostFrequency", static_cast<float>(rng() % 7));
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    stop = true;
    audio.join();

    const auto seen = counters::counts();
    EXPECT_EQ(seen.allocations, 0) << "allocations on the audio thread inside processBlock";
    EXPECT_EQ(seen.deallocations, 0) << "frees on the audio thread inside processBlock";
    EXPECT_EQ(seen.locks, 0) << "mutex locks on the audio thread inside processBlock";
    EXPECT_GT(processor.getCircuitHealth().appliedSequence, 2u) << "fades really ran";
}

TEST(AudioThreadAllocation, RealtimeStereoFloatBlocksNeitherAllocateNorLock)
{
    runRealtimeBlocks<float>(2, 48000.0);
}

TEST(AudioThreadAllocation, RealtimeStereoDoubleBlocksNeitherAllocateNorLock)
{
    runRealtimeBlocks<double>(2, 96000.0);
}

TEST(AudioThreadAllocation, RealtimeMonoBlocksNeitherAllocateNorLock)
{
    runRealtimeBlocks<float>(1, 44100.0);
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// State as strict hosts handle it, through the real VST3: saved and restored from a background thread
// while audio runs and the editor is open, round trips of random settings, and garbage rejected whole.
#include "HostTortureSupport.h"

#include <atomic>
#include <random>
#include <thread>

namespace
{
using namespace hesko::test::torture;
namespace counters = hesko::test::audio_thread;

constexpr double rate = 48000.0;

void randomise(juce::AudioProcessor& plugin, std::mt19937& rng)
{
    for (int i = 0; i < 11; ++i)
        plugin.getParameters()[i]->setValueNotifyingHost(
            std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
}

// As the plug-in shows them: a host's own copy of a value it set is not snapped to the parameter's steps.
std::vector<juce::String> values(juce::AudioProcessor& plugin)
{
    std::vector<juce::String> v;
    for (int i = 0; i < 11; ++i)
        v.push_back(plugin.getParameters()[i]->getCurrentValueAsText());
    return v;
}

juce::MemoryBlock saved(juce::AudioProcessor& plugin)
{
    juce::MemoryBlock block;
    plugin.getStateInformation(block);
    return block;
}

TEST(Vst3StateTorture, RandomSettingsRoundTripIntoANewInstanceAndSaveTheSameBytes)
{
    std::mt19937 rng(41);
    for (int round = 0; round < 12; ++round)
    {
        SCOPED_TRACE(round);
        auto original = loadHosted(Precision::single, rate, 256);
        ASSERT_NE(original.instance, nullptr);
        randomise(*original.instance, rng);
        const auto state = saved(*original.instance);

        auto restored = loadHosted(Precision::single, rate, 256);
        ASSERT_NE(restored.instance, nullptr);
        restored.instance->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
        EXPECT_EQ(values(*restored.instance), values(*original.instance));
        EXPECT_EQ(saved(*restored.instance), state) << "re-saved byte for byte";
    }
}

TEST(Vst3StateTorture, EmptyAndGarbageStatesAreRejectedWithNothingChanged)
{
    auto plugin = loadHosted(Precision::single, rate, 256);
    ASSERT_NE(plugin.instance, nullptr);
    std::mt19937 rng(43);
    randomise(*plugin.instance, rng);
    const auto before = saved(*plugin.instance);
    const auto valuesBefore = values(*plugin.instance);

    std::vector<std::pair<std::string, juce::MemoryBlock>> garbage;
    garbage.push_back({"empty", {}});
    garbage.push_back({"one byte", juce::MemoryBlock(1, true)});
    for (std::size_t size : {std::size_t{7}, std::size_t{1000}, std::size_t{1} << 20, std::size_t{1} << 20,
                             (std::size_t{1} << 20) + 13})
    {
        juce::MemoryBlock block(size);
        for (std::size_t i = 0; i < size; ++i)
            static_cast<unsigned char*>(block.getData())[i] = static_cast<unsigned char>(rng());
        garbage.push_back({"random, " + std::to_string(size) + " bytes", block});
    }
    // A megabyte behind the binary-XML header a real state starts with, claiming to be that long.
    {
        juce::MemoryBlock block(8 + (std::size_t{1} << 20));
        auto* bytes = static_cast<unsigned char*>(block.getData());
        const unsigned char header[] = {0x56, 0x43, 0x32, 0x21, 0x00, 0x00, 0x10, 0x00};
        std::copy(std::begin(header), std::end(header), bytes);
        for (std::size_t i = 8; i < block.getSize(); ++i)
            bytes[i] = static_cast<unsigned char>(' ' + rng() % 90);
        garbage.push_back({"a megabyte of text behind a state's header", block});
    }
    // The saved state cut short, and with its middle overwritten.
    garbage.push_back({"truncated", juce::MemoryBlock(before.getData(), before.getSize() / 2)});
    {
        auto block = before;
        for (std::size_t i = block.getSize() / 3; i < block.getSize() / 2; ++i)
            static_cast<unsigned char*>(block.getData())[i] = static_cast<unsigned char>(rng());
        garbage.push_back({"overwritten in the middle", block});
    }

    for (const auto& [name, block] : garbage)
    {
        SCOPED_TRACE(name);
        plugin.instance->setStateInformation(block.getData(), static_cast<int>(block.getSize()));
        EXPECT_EQ(values(*plugin.instance), valuesBefore);
        EXPECT_EQ(saved(*plugin.instance), before);
    }
}

// A host saving and restoring from its own background thread while the audio runs and the editor is
// open: nothing crashes, the audio thread neither allocates nor locks, and the last state restored is
// the one the plug-in has.
template <typename Sample> void stateFromABackgroundThread(Precision precision)
{
    auto plugin = loadHosted(precision, rate, 256);
    ASSERT_NE(plugin.instance, nullptr);
    auto& instance = *plugin.instance;
    std::mt19937 rng(47);
    std::vector<juce::MemoryBlock> states;
    for (int i = 0; i < 4; ++i)
    {
        randomise(instance, rng);
        states.push_back(saved(instance));
    }
    std::unique_ptr<juce::AudioProcessorEditor> editor(instance.createEditorIfNeeded());
    ASSERT_NE(editor, nullptr);

    BackgroundAudio<Sample> audio(instance, 256);
    std::atomic<int> restores{0};
    std::thread background(
        [&]
        {
            for (int i = 0; i < 200; ++i)
            {
                juce::MemoryBlock block;
                instance.getStateInformation(block);
                const auto& next = states[static_cast<std::size_t>(i) % states.size()];
                instance.setStateInformation(next.getData(), static_cast<int>(next.getSize()));
                restores.fetch_add(1);
            }
        });
    // The message thread runs the editor meanwhile: its timer, repaints and attachments.
    while (restores.load() < 200)
        juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
    background.join();
    juce::MessageManager::getInstance()->runDispatchLoopUntil(50);
    EXPECT_EQ(audio.stop(), "");
    expectNoAllocationOrLock("state from a background thread");
    editor.reset();
    const auto& last = states[199 % states.size()];
    EXPECT_EQ(saved(instance), last) << "the last state restored is the plug-in's";
}

TEST(Vst3StateTorture, SaveAndRestoreFromABackgroundThreadWhileProcessingWithTheEditorOpen)
{
    stateFromABackgroundThread<float>(Precision::single);
    stateFromABackgroundThread<double>(Precision::twice);
}
} // namespace

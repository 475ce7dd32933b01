// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// Thirty-two instances created, processed and destroyed from several threads in one process, then the
// module unloaded: every instance comes and goes cleanly, and the unload takes the module's
// compilation worker with it.
#include "HostTortureSupport.h"

#include <dirent.h>
#include <dlfcn.h>

#include <atomic>
#include <thread>

namespace
{
using namespace hesko::test::torture;
namespace counters = hesko::test::audio_thread;

int threadsInThisProcess()
{
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task"))
    {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

juce::File moduleBinary()
{
    const juce::File bundle(AMBERSLOPE_VST3_BUNDLE);
    return bundle.getChildFile("Contents/x86_64-linux")
        .getChildFile(bundle.getFileNameWithoutExtension() + ".so");
}

bool moduleIsLoaded()
{
    void* handle = dlopen(moduleBinary().getFullPathName().toRawUTF8(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr)
        return false;
    dlclose(handle);
    return true;
}

TEST(Vst3ModuleUnload, ManyInstancesFromManyThreadsThenTheModuleUnloadsAndItsWorkerJoins)
{
    ASSERT_TRUE(moduleBinary().existsAsFile()) << moduleBinary().getFullPathName();
    ASSERT_FALSE(moduleIsLoaded());
    const int threadsBefore = threadsInThisProcess();

    juce::String error;
    auto scanned =
        hesko::hosting::HostedPlugin::load(juce::File(AMBERSLOPE_VST3_BUNDLE), 48000.0, 256, error);
    ASSERT_NE(scanned.instance, nullptr) << error;
    const auto description = scanned.description;
    scanned.instance.reset();
    ASSERT_TRUE(moduleIsLoaded());
    ASSERT_TRUE(countOnlyThePluginsOwnProcessing());

    constexpr int threads = 4;
    constexpr int instancesPerThread = 8;
    std::atomic<int> finished{0};
    std::atomic<int> processed{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back(
            [&, t]
            {
                juce::VST3PluginFormat format;
                std::vector<std::unique_ptr<juce::AudioPluginInstance>> mine;
                // Created through the host's asynchronous path (on the message thread), as a host's
                // loader thread does it.
                for (int i = 0; i < instancesPerThread; ++i)
                {
                    juce::String why;
                    auto instance = format.createInstanceFromDescription(description, 48000.0, 256, why);
                    if (instance == nullptr)
                    {
                        failures.fetch_add(1);
                        continue;
                    }
                    instance->prepareToPlay(44100.0 + 4000.0 * t, 256);
                    hesko::test::setPlain(*instance, "lowBoost", static_cast<float>(i));
                    mine.push_back(std::move(instance));
                }
                // Each thread is the audio thread of its own eight instances.
                juce::AudioBuffer<float> buffer(2, 256);
                juce::MidiBuffer midi;
                for (int b = 0; b < 100; ++b)
                    for (auto& instance : mine)
                    {
                        for (int ch = 0; ch < 2; ++ch)
                            for (int i = 0; i < 256; ++i)
                                buffer.setSample(ch, i,
                                                 0.2f * std::sin(0.02f * static_cast<float>(i + 256 * b)));
                        processWatched(*instance, buffer, midi);
                        if (!firstUnclean(buffer).empty())
                            failures.fetch_add(1);
                    }
                processed.fetch_add(static_cast<int>(mine.size()));
                for (auto& instance : mine)
                {
                    instance->releaseResources();
                    // Hosts tear plug-ins down with the message thread held.
                    const juce::MessageManagerLock lock;
                    instance.reset();
                }
                finished.fetch_add(1);
            });
    // The message thread serves the loaders meanwhile.
    while (finished.load() < threads)
        juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
    for (auto& worker : workers)
        worker.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(processed.load(), threads * instancesPerThread);
    expectNoAllocationOrLock("32 instances on 4 threads");

    // JUCE's host keeps modules open until its singletons go at shutdown; end them now.
    juce::DeletedAtShutdown::deleteAll();
    EXPECT_FALSE(moduleIsLoaded()) << "the module stays mapped after the host let go of it";
    EXPECT_EQ(threadsInThisProcess(), threadsBefore) << "a thread of the module outlived it";
}
} // namespace

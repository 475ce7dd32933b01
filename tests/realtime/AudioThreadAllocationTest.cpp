// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// Proof that real-time processBlock neither allocates nor locks: this program replaces malloc and
// friends, the global operator new and delete, and pthread_mutex_lock with counting versions that
// forward to glibc, and counts only calls made on the audio thread while it is inside processBlock.
#include "../AudioTestSupport.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <pthread.h>
#include <random>
#include <thread>

extern "C"
{
    void* __libc_malloc(std::size_t size);
    void* __libc_calloc(std::size_t count, std::size_t size);
    void* __libc_realloc(void* pointer, std::size_t size);
    void* __libc_memalign(std::size_t alignment, std::size_t size);
    void __libc_free(void* pointer);
    // glibc's own lock, under the versioned name it exports it by.
    int glibcMutexLock(pthread_mutex_t* mutex);
}
__asm__(".symver glibcMutexLock, __pthread_mutex_lock@GLIBC_2.2.5");

namespace
{
thread_local bool insideProcessBlock = false;
std::atomic<int> allocations{0};
std::atomic<int> deallocations{0};
std::atomic<int> locks{0};

void countAllocation() noexcept
{
    if (insideProcessBlock)
        allocations.fetch_add(1, std::memory_order_relaxed);
}
void countDeallocation() noexcept
{
    if (insideProcessBlock)
        deallocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C"
{
    void* malloc(std::size_t size)
    {
        countAllocation();
        return __libc_malloc(size);
    }
    void* calloc(std::size_t count, std::size_t size)
    {
        countAllocation();
        return __libc_calloc(count, size);
    }
    void* realloc(void* pointer, std::size_t size)
    {
        countAllocation();
        return __libc_realloc(pointer, size);
    }
    void* aligned_alloc(std::size_t alignment, std::size_t size)
    {
        countAllocation();
        return __libc_memalign(alignment, size);
    }
    int posix_memalign(void** out, std::size_t alignment, std::size_t size)
    {
        countAllocation();
        *out = __libc_memalign(alignment, size);
        return *out != nullptr || size == 0 ? 0 : ENOMEM;
    }
    void free(void* pointer)
    {
        if (pointer != nullptr)
            countDeallocation();
        __libc_free(pointer);
    }
    int pthread_mutex_lock(pthread_mutex_t* mutex)
    {
        if (insideProcessBlock)
            locks.fetch_add(1, std::memory_order_relaxed);
        return glibcMutexLock(mutex);
    }
}

void* operator new(std::size_t size)
{
    countAllocation();
    if (void* p = __libc_malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, std::align_val_t alignment)
{
    countAllocation();
    if (void* p = __libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return operator new(size, alignment);
}
void operator delete(void* p) noexcept
{
    if (p != nullptr)
        countDeallocation();
    __libc_free(p);
}
void operator delete[](void* p) noexcept
{
    operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    operator delete(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    operator delete(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    operator delete(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    operator delete(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    operator delete(p);
}

namespace
{
using hesko::test::setPlain;

template <typename Sample>
void watchedBlock(AmberslopeAudioProcessor& processor, juce::AudioBuffer<Sample>& buffer,
                  juce::MidiBuffer& midi)
{
    insideProcessBlock = true;
    processor.processBlock(buffer, midi);
    insideProcessBlock = false;
}

TEST(AudioThreadAllocation, TheCountersSeeAnAllocationAndALock)
{
    // The instrument itself: a watched allocation and a watched lock are counted.
    allocations = 0;
    locks = 0;
    std::mutex mutex;
    insideProcessBlock = true;
    auto* p = new int(3);
    mutex.lock();
    insideProcessBlock = false;
    mutex.unlock();
    delete p;
    EXPECT_EQ(allocations.load(), 1);
    EXPECT_EQ(locks.load(), 1);
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
                {
                    allocations = 0; // warm-up over
                    deallocations = 0;
                    locks = 0;
                }
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

    EXPECT_EQ(allocations.load(), 0) << "allocations on the audio thread inside processBlock";
    EXPECT_EQ(deallocations.load(), 0) << "frees on the audio thread inside processBlock";
    EXPECT_EQ(locks.load(), 0) << "mutex locks on the audio thread inside processBlock";
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

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <cstdint>

// Counts heap allocations, frees and mutex locks made on watched threads. A program that links
// AudioThreadCounters.cpp has malloc, operator new and pthread_mutex_lock replaced for the whole
// process (the plug-in's module included); only calls inside a Watch are counted.
namespace hesko::test::audio_thread
{
struct Counts
{
    int allocations = 0;
    int deallocations = 0;
    int locks = 0;
};

// Any thread: counts this thread's calls while it lives, as the audio thread inside processBlock.
class Watch
{
public:
    Watch() noexcept;
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
};

void resetCounts() noexcept;
Counts counts() noexcept;

// A plug-in loaded by a host runs inside the host's processing call and its own format wrapper's,
// either of which may allocate or lock for reasons of its own. After this call, only calls with a
// frame inside one of the given code ranges (at most eight) on their stack count.
struct CodeRange
{
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
};
void countOnlyCallsWithin(const CodeRange* ranges, int count) noexcept;
// Where a loaded module (by file name, as "Amberslope.so") is mapped, 0 when it is not loaded.
std::uintptr_t moduleLoadAddress(const char* fileName) noexcept;
// Back to counting every watched call (the processor object linked into the test itself).
void countCallsFromEverywhere() noexcept;
} // namespace hesko::test::audio_thread

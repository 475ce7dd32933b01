// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// Replaces malloc and friends, the global operator new and delete, and pthread_mutex_lock with
// counting versions that forward to glibc. Only calls made on a thread while it is watched count.
#include "AudioThreadCounters.h"

#include <algorithm>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <link.h>
#include <new>
#include <pthread.h>

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

// AMBERSLOPE_TRAP_WATCHED=1 stops at the first counted call, for a debugger's backtrace.
void trapIfAsked() noexcept
{
    static const bool trap = std::getenv("AMBERSLOPE_TRAP_WATCHED") != nullptr;
    if (trap)
        __builtin_trap();
}

// When set, only calls with a frame in one of these code ranges on their stack count: the plug-in's
// own processing, not the host's or the plug-in wrapper's around it.
constexpr int maximumRanges = 8;
hesko::test::audio_thread::CodeRange ranges[maximumRanges];
std::atomic<int> rangeCount{0};
thread_local bool walkingTheStack = false;

bool isCounted() noexcept
{
    if (!insideProcessBlock || walkingTheStack)
        return false;
    const int count = rangeCount.load(std::memory_order_acquire);
    if (count == 0)
        return true;
    walkingTheStack = true; // the unwinder may allocate or lock itself
    void* frames[128];
    const int depth = backtrace(frames, 128);
    walkingTheStack = false;
    for (int i = 0; i < depth; ++i)
    {
        const auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
        for (int r = 0; r < count; ++r)
            if (address >= ranges[r].begin && address < ranges[r].end)
                return true;
    }
    return false;
}

void countAllocation() noexcept
{
    if (isCounted())
    {
        allocations.fetch_add(1, std::memory_order_relaxed);
        trapIfAsked();
    }
}
void countDeallocation() noexcept
{
    if (isCounted())
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
        if (isCounted())
        {
            locks.fetch_add(1, std::memory_order_relaxed);
            trapIfAsked();
        }
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

namespace hesko::test::audio_thread
{
Watch::Watch() noexcept
{
    insideProcessBlock = true;
}
Watch::~Watch()
{
    insideProcessBlock = false;
}

void resetCounts() noexcept
{
    allocations = 0;
    deallocations = 0;
    locks = 0;
}

Counts counts() noexcept
{
    return {allocations.load(), deallocations.load(), locks.load()};
}

std::uintptr_t moduleLoadAddress(const char* fileName) noexcept
{
    struct Search
    {
        const char* name;
        std::uintptr_t address = 0;
    } search{fileName};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data)
        {
            auto& s = *static_cast<Search*>(data);
            const char* slash = std::strrchr(info->dlpi_name, '/');
            if (std::strcmp(slash != nullptr ? slash + 1 : info->dlpi_name, s.name) != 0)
                return 0;
            s.address = info->dlpi_addr;
            return 1;
        },
        &search);
    return search.address;
}

void countOnlyCallsWithin(const CodeRange* within, int count) noexcept
{
    void* warmUp[4];
    backtrace(warmUp, 4); // the first walk loads the unwinder: not on a watched call
    rangeCount.store(0, std::memory_order_release);
    count = std::min(count, maximumRanges);
    for (int r = 0; r < count; ++r)
        ranges[r] = within[r];
    rangeCount.store(count, std::memory_order_release);
}

void countCallsFromEverywhere() noexcept
{
    rangeCount.store(0, std::memory_order_release);
}
} // namespace hesko::test::audio_thread

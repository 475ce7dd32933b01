// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/Realtime.h"

#include "CircuitHealth.h"
#include "RealtimeEqp1aPassiveEq.h"
#include "dsp/PultecEqParameters.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <utility>

namespace hesko::dsp::circuit
{

namespace publication_detail
{
// One read of a sequence lock over eight 32-bit words: at most three attempts, giving up at once when
// a writer is active (odd counter). A template over the counter so that tests can script its values.
template <typename Counter, typename Words>
bool tryRead(const Counter& counter, const Words& words, std::array<std::uint32_t, 8>& out,
             std::uint64_t& sequence) noexcept
{
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        const std::uint64_t before = counter.load(std::memory_order_acquire);
        if (before % 2 != 0)
            return false;
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = words[i].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (counter.load(std::memory_order_relaxed) == before)
        {
            sequence = before;
            return true;
        }
    }
    return false;
}
} // namespace publication_detail

// Why a compilation failed, by the first of invalid argument, out of range, length error, runtime
// error that the exception is (derived types map to their first matching base); anything else is
// `unexpected`.
CircuitCompileError classifyCompileFailure(std::exception_ptr failure) noexcept;

// The passive EQ as the host automates it. The audio thread publishes each new parameter record
// through a sequence lock; the process-wide worker compiles it off the audio thread and hands the
// circuit back through a two-slot lock-free queue; at the start of a block the audio thread takes the
// newest circuit, gives it the running state and cross-fades to it over 5 ms. Offline, each block
// compiles the newest request synchronously instead, so renders do not depend on thread timing.
//
// The audio thread never allocates, locks or compiles in real-time processing.
class AutomatedEqp1aPassiveEq
{
public:
    // A compiled circuit on its way to the audio thread; copied whole, never allocates.
    struct CompiledCircuit
    {
        RealtimeEqp1aPassiveEq equalizer;
        std::uint64_t sequence = 0;
    };

    // Two slots, one producer (under the worker's mutex), one consumer (the audio thread).
    class CompiledQueue
    {
    public:
        bool tryPush(const CompiledCircuit& circuit) noexcept HESKO_NONBLOCKING;
        bool tryPop(CompiledCircuit& out) noexcept HESKO_NONBLOCKING;
        // Only while no other thread can use the queue.
        void clear() noexcept;
        std::uint64_t size() const noexcept HESKO_NONBLOCKING
        {
            return writeIndex.load(std::memory_order_acquire) - readIndex.load(std::memory_order_acquire);
        }

    private:
        friend struct CompiledQueueInspector; // tests: which slot holds what
        std::array<CompiledCircuit, 2> slots{};
        std::atomic<std::uint64_t> writeIndex{0};
        std::atomic<std::uint64_t> readIndex{0};
    };

    AutomatedEqp1aPassiveEq() = default;
    ~AutomatedEqp1aPassiveEq();
    AutomatedEqp1aPassiveEq(const AutomatedEqp1aPassiveEq&) = delete;
    AutomatedEqp1aPassiveEq& operator=(const AutomatedEqp1aPassiveEq&) = delete;

    // Preparing thread, audio stopped. Compiles the requested circuit, or the safe default one when it
    // fails, and registers with the worker. Throws std::runtime_error when neither compiles (and a
    // std::system_error when the worker's thread cannot start).
    void prepare(double sampleRate, const PultecEqParameters& parameters);
    // Preparing thread, audio stopped; also the destructor. Never throws.
    void release() noexcept;
    // Preparing thread, audio stopped: ends a fade at once and clears both circuits' signal state.
    void reset() noexcept;

    // Audio thread: publishes the record when prepared and different from the last request.
    void requestParameters(const PultecEqParameters& parameters) noexcept HESKO_NONBLOCKING;
    // Audio thread, once per block before any sample. Offline it compiles the newest request first
    // (taking the worker's mutex); then it may start a cross-fade.
    void beginBlock(bool nonRealtime);

    // Audio thread, per sample: the active circuit, cross-faded into the incoming one while a
    // transition runs.
    float processSample(float input) noexcept HESKO_NONBLOCKING
    {
        return static_cast<float>(processSample(static_cast<double>(input)));
    }
    double processSample(double input) noexcept HESKO_NONBLOCKING;
    std::pair<double, double> processStereoSample(float left, float right) noexcept HESKO_NONBLOCKING
    {
        return processStereoSample(static_cast<double>(left), static_cast<double>(right));
    }
    std::pair<double, double> processStereoSample(double left, double right) noexcept HESKO_NONBLOCKING;

    // Any thread (the editor's timer): lock-free readings; not one atomic snapshot.
    CircuitHealth getCircuitHealth() const noexcept;
    std::uint64_t getCompletedCompilationCount() const noexcept
    {
        return completedCompilationCount.load(std::memory_order_relaxed);
    }
    std::uint64_t getCompilationFailureCount() const noexcept
    {
        return compilationFailureCount.load(std::memory_order_relaxed);
    }
    // Audio thread.
    bool isTransitioning() const noexcept HESKO_NONBLOCKING { return transitioning; }
    std::uint64_t getTransitionLength() const noexcept { return transitionLength; }
    bool isPrepared() const noexcept { return prepared; }

    // Worker thread, under the worker's mutex. Never throws.
    void serviceCompilation() noexcept;

    // Compiling side. Compiles into `target`; on failure records it and returns false. Never throws.
    bool tryPrepareCircuit(RealtimeEqp1aPassiveEq& target, const PultecEqParameters& parameters,
                           std::uint64_t sequence) noexcept;
    void recordCompilationFailure(CircuitCompileError error, std::uint64_t sequence) noexcept;
    // Audio thread, offline only, under the worker's mutex.
    void serviceLatestSynchronously() noexcept;
    // Audio thread.
    void startTransitionIfReady() noexcept HESKO_NONBLOCKING;

    // The publication: a sequence lock over one record. One writer (the audio thread, or the
    // preparing thread) and one reader (under the worker's mutex) at a time; neither ever waits.
    void publishParameters(const PultecEqParameters& parameters) noexcept HESKO_NONBLOCKING;
    bool tryReadPublishedParameters(PultecEqParameters& out, std::uint64_t& sequence) const noexcept;
    static bool sameParameters(const PultecEqParameters& a,
                               const PultecEqParameters& b) noexcept HESKO_NONBLOCKING
    {
        return dsp::sameParameters(a, b);
    }

    // Tests: the sequence lock's raw counter.
    std::uint64_t getPublishedSequence() const noexcept
    {
        return publishedSequence.load(std::memory_order_acquire);
    }

private:
    friend struct AutomatedEqInspector; // tests: the circuits and sequences behind the health record
    void endTransition() noexcept HESKO_NONBLOCKING;

    std::atomic<std::uint64_t> publishedSequence{0};
    std::array<std::atomic<std::uint32_t>, 8> publishedParameters{};
    CompiledQueue compiledQueue;
    std::array<RealtimeEqp1aPassiveEq, 2> circuits{};
    PultecEqParameters lastRequestedParameters{};
    std::atomic<std::uint64_t> completedCompilationCount{0};
    std::atomic<std::uint64_t> compilationFailureCount{0};
    std::atomic<std::uint64_t> appliedSequence{0};
    std::atomic<std::uint64_t> failedSequence{0};
    std::atomic<CircuitCompileError> lastError{CircuitCompileError::none};

    // Compiling side: under the worker's mutex, or while not registered.
    std::uint64_t servicedSequence = 0;
    std::uint64_t pendingSequence = 0;
    bool pendingReady = false;
    RealtimeEqp1aPassiveEq compileScratch;

    // Audio thread (or the preparing thread while audio is stopped); the compiling side reads the rate.
    double sampleRate = 48000.0;
    std::uint64_t transitionLength = 1;
    std::uint64_t transitionPosition = 0;
    std::uint64_t receivedSequence = 0;
    std::uint64_t incomingSequence = 0;
    std::uint64_t activeIndex = 0;
    std::uint64_t incomingIndex = 1;
    bool transitioning = false;
    bool prepared = false;
};

inline double AutomatedEqp1aPassiveEq::processSample(double input) noexcept HESKO_NONBLOCKING
{
    const double a = circuits[activeIndex].processSample(input);
    if (!transitioning)
        return a;
    const double b = circuits[incomingIndex].processSample(input);
    const double weight = static_cast<double>(transitionPosition) / static_cast<double>(transitionLength);
    const double mixed = a + (b - a) * weight;
    if (++transitionPosition == transitionLength)
        endTransition();
    return mixed;
}

inline std::pair<double, double>
AutomatedEqp1aPassiveEq::processStereoSample(double left, double right) noexcept HESKO_NONBLOCKING
{
    const auto a = circuits[activeIndex].processStereoSample(left, right);
    if (!transitioning)
        return a;
    const auto b = circuits[incomingIndex].processStereoSample(left, right);
    const double weight = static_cast<double>(transitionPosition) / static_cast<double>(transitionLength);
    const std::pair<double, double> mixed{a.first + (b.first - a.first) * weight,
                                          a.second + (b.second - a.second) * weight};
    if (++transitionPosition == transitionLength)
        endTransition();
    return mixed;
}

} // namespace hesko::dsp::circuit

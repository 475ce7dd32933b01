// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "AutomatedEqp1aPassiveEq.h"
#include "dsp/Realtime.h"

#include "PassiveCompilationWorker.h"

#include <bit>
#include <cmath>
#include <stdexcept>

namespace hesko::dsp::circuit
{

PassiveCompilationWorker& PassiveCompilationWorker::instance()
{
    static PassiveCompilationWorker worker;
    return worker;
}

CircuitCompileError classifyCompileFailure(std::exception_ptr failure) noexcept
{
    try
    {
        std::rethrow_exception(failure);
    }
    catch (const std::invalid_argument&)
    {
        return CircuitCompileError::invalidParameters;
    }
    catch (const std::out_of_range&)
    {
        return CircuitCompileError::invalidParameters;
    }
    catch (const std::length_error&)
    {
        return CircuitCompileError::capacityExceeded;
    }
    catch (const std::runtime_error&)
    {
        return CircuitCompileError::singularMatrix;
    }
    catch (...)
    {
        return CircuitCompileError::unexpected;
    }
}

// --- the compiled-circuit queue -----------------------------------------------------------------------

bool AutomatedEqp1aPassiveEq::CompiledQueue::tryPush(const CompiledCircuit& circuit) noexcept
    HESKO_NONBLOCKING
{
    const auto w = writeIndex.load(std::memory_order_relaxed);
    const auto r = readIndex.load(std::memory_order_acquire); // the consumer is done with that slot
    if (w - r >= 2)
        return false;
    slots[w % 2] = circuit;
    writeIndex.store(w + 1, std::memory_order_release); // publishes the slot's contents
    return true;
}

bool AutomatedEqp1aPassiveEq::CompiledQueue::tryPop(CompiledCircuit& out) noexcept HESKO_NONBLOCKING
{
    const auto r = readIndex.load(std::memory_order_relaxed);
    const auto w = writeIndex.load(std::memory_order_acquire); // sees the producer's slot contents
    if (r == w)
        return false;
    out = slots[r % 2];
    readIndex.store(r + 1, std::memory_order_release); // hands the slot back
    return true;
}

void AutomatedEqp1aPassiveEq::CompiledQueue::clear() noexcept
{
    writeIndex.store(0, std::memory_order_relaxed);
    readIndex.store(0, std::memory_order_relaxed);
}

// --- the publication ----------------------------------------------------------------------------------

namespace
{
std::array<std::uint32_t, 8> wordsOf(const PultecEqParameters& p) noexcept HESKO_NONBLOCKING
{
    return std::bit_cast<std::array<std::uint32_t, 8>>(p);
}
} // namespace

void AutomatedEqp1aPassiveEq::publishParameters(const PultecEqParameters& parameters) noexcept
    HESKO_NONBLOCKING
{
    publishedSequence.fetch_add(1, std::memory_order_relaxed); // odd: a write is under way
    // Keeps the word stores below from becoming visible before the odd count.
    std::atomic_thread_fence(std::memory_order_release);
    const auto words = wordsOf(parameters);
    for (std::size_t i = 0; i < words.size(); ++i)
        publishedParameters[i].store(words[i], std::memory_order_relaxed);
    publishedSequence.fetch_add(1, std::memory_order_release); // even: the new sequence number
}

bool AutomatedEqp1aPassiveEq::tryReadPublishedParameters(PultecEqParameters& out,
                                                         std::uint64_t& sequence) const noexcept
{
    std::array<std::uint32_t, 8> words{};
    if (!publication_detail::tryRead(publishedSequence, publishedParameters, words, sequence))
        return false;
    out = std::bit_cast<PultecEqParameters>(words);
    return true;
}

// --- life cycle -------------------------------------------------------------------------------------

AutomatedEqp1aPassiveEq::~AutomatedEqp1aPassiveEq()
{
    release();
}

void AutomatedEqp1aPassiveEq::prepare(double rate, const PultecEqParameters& parameters)
{
    release();
    sampleRate = rate >= 8000.0 ? rate : 8000.0;
    transitionLength =
        std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(0.005 * sampleRate)));

    activeIndex = 0;
    incomingIndex = 1;
    transitionPosition = 0;
    transitioning = false;
    compiledQueue.clear();

    lastRequestedParameters = parameters;
    publishParameters(parameters);
    const auto sequence = publishedSequence.load(std::memory_order_relaxed);

    servicedSequence = sequence;
    pendingSequence = sequence;
    pendingReady = false;
    failedSequence.store(0, std::memory_order_relaxed);
    lastError.store(CircuitCompileError::none, std::memory_order_relaxed);

    auto& active = circuits[activeIndex];
    if (tryPrepareCircuit(active, parameters, sequence))
    {
        appliedSequence.store(sequence, std::memory_order_relaxed);
    }
    else
    {
        // The safe set: the panel's defaults, flat.
        if (!tryPrepareCircuit(active, PultecEqParameters{}, sequence))
            throw std::runtime_error("Could not compile either the requested or safe passive circuit");
        appliedSequence.store(0, std::memory_order_relaxed);
    }

    circuits[incomingIndex] = active;
    receivedSequence = incomingSequence = appliedSequence.load(std::memory_order_relaxed);
    prepared = true;
    PassiveCompilationWorker::instance().registerInstance(this);
}

void AutomatedEqp1aPassiveEq::release() noexcept
{
    if (prepared)
        PassiveCompilationWorker::instance().unregisterInstance(this);
    compiledQueue.clear();
    pendingReady = false;
    transitioning = false;
    prepared = false;
}

void AutomatedEqp1aPassiveEq::reset() noexcept
{
    if (transitioning)
    {
        std::swap(activeIndex, incomingIndex);
        appliedSequence.store(incomingSequence, std::memory_order_relaxed);
    }
    circuits[0].reset();
    circuits[1].reset();
    transitionPosition = 0;
    transitioning = false;
}

// --- requests and compilation -----------------------------------------------------------------------

void AutomatedEqp1aPassiveEq::requestParameters(const PultecEqParameters& parameters) noexcept
    HESKO_NONBLOCKING
{
    if (!prepared || sameParameters(parameters, lastRequestedParameters))
        return;
    lastRequestedParameters = parameters;
    publishParameters(parameters);
}

bool AutomatedEqp1aPassiveEq::tryPrepareCircuit(RealtimeEqp1aPassiveEq& target,
                                                const PultecEqParameters& parameters,
                                                std::uint64_t sequence) noexcept
{
    try
    {
        target.prepare(sampleRate, parameters);
        return true;
    }
    catch (...)
    {
        recordCompilationFailure(classifyCompileFailure(std::current_exception()), sequence);
        return false;
    }
}

void AutomatedEqp1aPassiveEq::recordCompilationFailure(CircuitCompileError error,
                                                       std::uint64_t sequence) noexcept
{
    lastError.store(error, std::memory_order_relaxed);
    failedSequence.store(sequence, std::memory_order_relaxed);
    compilationFailureCount.fetch_add(1, std::memory_order_relaxed);
}

void AutomatedEqp1aPassiveEq::serviceCompilation() noexcept
{
    PultecEqParameters parameters;
    std::uint64_t sequence = 0;
    if (!tryReadPublishedParameters(parameters, sequence))
        return;

    const bool nothingNew = sequence == servicedSequence && !pendingReady;
    if (nothingNew)
        return;
    const bool handOverPending =
        pendingReady && (sequence == servicedSequence || sequence == pendingSequence);
    if (!handOverPending)
    {
        // Overwrites a pending circuit for an older set, which a newer one has made obsolete.
        if (!tryPrepareCircuit(compileScratch, parameters, sequence))
        {
            servicedSequence = sequence; // a failed set waits for a newer one
            pendingReady = false;
            return;
        }
        pendingSequence = sequence;
        pendingReady = true;
    }

    if (compiledQueue.size() >= 2)
        return; // offered again on the next pass
    compiledQueue.tryPush({compileScratch, pendingSequence});
    servicedSequence = pendingSequence;
    pendingReady = false;
    completedCompilationCount.fetch_add(1, std::memory_order_relaxed);
}

void AutomatedEqp1aPassiveEq::serviceLatestSynchronously() noexcept
{
    PultecEqParameters parameters;
    std::uint64_t sequence = 0;
    if (!tryReadPublishedParameters(parameters, sequence))
        return;
    if (sequence == receivedSequence || sequence == servicedSequence)
        return; // in use, queued, or already failed

    CompiledCircuit local;
    if (!tryPrepareCircuit(local.equalizer, parameters, sequence))
    {
        servicedSequence = sequence;
        pendingReady = false;
        return;
    }
    // Older circuits the audio thread has not taken yet are obsolete now.
    compiledQueue.clear();
    pendingReady = false;
    servicedSequence = sequence;
    local.sequence = sequence;
    compiledQueue.tryPush(local);
    completedCompilationCount.fetch_add(1, std::memory_order_relaxed);
}

// --- the audio thread's hand-off ----------------------------------------------------------------------

void AutomatedEqp1aPassiveEq::beginBlock(bool nonRealtime)
{
    if (nonRealtime)
        PassiveCompilationWorker::instance().runExclusive([this] { serviceLatestSynchronously(); });
    if (!transitioning)
        startTransitionIfReady();
}

void AutomatedEqp1aPassiveEq::startTransitionIfReady() noexcept HESKO_NONBLOCKING
{
    CompiledCircuit newest;
    bool received = false;
    while (compiledQueue.tryPop(newest))
        received = true;
    if (!received)
        return;

    auto& incoming = circuits[incomingIndex];
    incoming = newest.equalizer;
    receivedSequence = incomingSequence = newest.sequence;
    incoming.copyStateFrom(circuits[activeIndex]);
    transitionPosition = 0;
    transitioning = true;
}

void AutomatedEqp1aPassiveEq::endTransition() noexcept HESKO_NONBLOCKING
{
    std::swap(activeIndex, incomingIndex);
    appliedSequence.store(incomingSequence, std::memory_order_relaxed);
    transitionPosition = 0;
    transitioning = false;
}

CircuitHealth AutomatedEqp1aPassiveEq::getCircuitHealth() const noexcept
{
    CircuitHealth health;
    health.requestedSequence = publishedSequence.load(std::memory_order_relaxed) & ~std::uint64_t{1};
    health.appliedSequence = appliedSequence.load(std::memory_order_relaxed);
    health.failedSequence = failedSequence.load(std::memory_order_relaxed);
    health.lastError = lastError.load(std::memory_order_relaxed);
    return health;
}

} // namespace hesko::dsp::circuit

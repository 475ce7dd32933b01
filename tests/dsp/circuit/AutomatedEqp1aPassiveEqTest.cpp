// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "AutomationFixtures.h"
#include "PassiveEqFixtures.h"
#include "dsp/circuit/PassiveCompilationWorker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <ios>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

namespace hesko::dsp::circuit
{
struct CompiledQueueInspector
{
    static std::uint64_t slotSequence(const AutomatedEqp1aPassiveEq::CompiledQueue& q, std::size_t slot)
    {
        return q.slots[slot].sequence;
    }
};
} // namespace hesko::dsp::circuit

namespace
{
using namespace hesko::dsp;
using namespace hesko::dsp::circuit;
using hesko::test::eventually;
using hesko::test::record;
using Inspector = AutomatedEqInspector;
using LF = LowFrequency;
using HBF = HighBoostFrequency;
using HAF = HighAttenFrequency;

PultecEqParameters boosted(float lowBoost)
{
    return record(LF::hz60, lowBoost, 0, HBF::khz8, 0, 5, HAF::khz10, 0);
}

PultecEqParameters invalidRecord()
{
    auto p = PultecEqParameters{};
    p.highBoost = 11.0f;
    return p;
}

// ---------------------------------------------------------------------------------------------------
// The publication.

TEST(ParameterPublication, SequencesAreEvenAndCountUpByTwoFromTwo)
{
    AutomatedEqp1aPassiveEq eq;
    EXPECT_EQ(eq.getPublishedSequence(), 0u);
    eq.publishParameters(boosted(1));
    EXPECT_EQ(eq.getPublishedSequence(), 2u);
    eq.publishParameters(boosted(2));
    EXPECT_EQ(eq.getPublishedSequence(), 4u);

    PultecEqParameters read;
    std::uint64_t sequence = 0;
    ASSERT_TRUE(eq.tryReadPublishedParameters(read, sequence));
    EXPECT_EQ(sequence, 4u);
    EXPECT_TRUE(sameParameters(read, boosted(2)));
}

// A counter whose loads return scripted values, to drive the read through its attempts.
struct ScriptedCounter
{
    std::vector<std::uint64_t> values;
    mutable std::size_t loads = 0;
    std::uint64_t load(std::memory_order) const { return values[std::min(loads++, values.size() - 1)]; }
};

TEST(ParameterPublication, ReadGivesUpAtOnceOnAnOddCounterAndAfterThreeChangedAttempts)
{
    std::array<std::atomic<std::uint32_t>, 8> words{};
    words[1].store(0x40a00000u); // 5.0f
    std::array<std::uint32_t, 8> out{};
    std::uint64_t sequence = 99;

    ScriptedCounter writing{{3}};
    EXPECT_FALSE(publication_detail::tryRead(writing, words, out, sequence));
    EXPECT_EQ(writing.loads, 1u) << "no further attempt while a writer is active";

    ScriptedCounter changing{{2, 4, 4, 6, 6, 8}};
    EXPECT_FALSE(publication_detail::tryRead(changing, words, out, sequence));
    EXPECT_EQ(changing.loads, 6u) << "exactly three attempts";
    EXPECT_EQ(sequence, 99u);

    ScriptedCounter settlesOnTheThird{{2, 4, 4, 6, 6, 6}};
    EXPECT_TRUE(publication_detail::tryRead(settlesOnTheThird, words, out, sequence));
    EXPECT_EQ(sequence, 6u);
    EXPECT_EQ(out[1], 0x40a00000u);
}

// ---------------------------------------------------------------------------------------------------
// The compiled-circuit queue.

TEST(CompiledQueue, HoldsTwoInPushOrderAndClearRestartsAtSlotZero)
{
    AutomatedEqp1aPassiveEq::CompiledQueue queue;
    AutomatedEqp1aPassiveEq::CompiledCircuit c;
    AutomatedEqp1aPassiveEq::CompiledCircuit out;
    EXPECT_FALSE(queue.tryPop(out));

    c.sequence = 2;
    EXPECT_TRUE(queue.tryPush(c));
    c.sequence = 4;
    EXPECT_TRUE(queue.tryPush(c));
    c.sequence = 6;
    EXPECT_FALSE(queue.tryPush(c)) << "full";
    EXPECT_EQ(CompiledQueueInspector::slotSequence(queue, 0), 2u) << "a refused push leaves both entries";
    EXPECT_EQ(CompiledQueueInspector::slotSequence(queue, 1), 4u);

    ASSERT_TRUE(queue.tryPop(out));
    EXPECT_EQ(out.sequence, 2u);
    c.sequence = 8;
    EXPECT_TRUE(queue.tryPush(c)); // into slot 0, wrapping
    ASSERT_TRUE(queue.tryPop(out));
    EXPECT_EQ(out.sequence, 4u);
    ASSERT_TRUE(queue.tryPop(out));
    EXPECT_EQ(out.sequence, 8u);
    EXPECT_FALSE(queue.tryPop(out));

    c.sequence = 10;
    queue.tryPush(c); // slot 1 (three pushes so far)
    EXPECT_EQ(CompiledQueueInspector::slotSequence(queue, 1), 10u);
    queue.clear();
    EXPECT_FALSE(queue.tryPop(out));
    c.sequence = 12;
    queue.tryPush(c);
    EXPECT_EQ(CompiledQueueInspector::slotSequence(queue, 0), 12u) << "after clear, slot 0 again";
}

// ---------------------------------------------------------------------------------------------------
// Exception classification.

struct DerivedOutOfRange : std::out_of_range
{
    DerivedOutOfRange() : std::out_of_range("derived") {}
};
struct DerivedLengthError : std::length_error
{
    DerivedLengthError() : std::length_error("derived") {}
};

TEST(CompileFailureMapping, EachExceptionMapsToItsFirstMatchingCode)
{
    const struct
    {
        const char* name;
        std::exception_ptr failure;
        CircuitCompileError code;
    } cases[] = {
        {"invalid_argument", std::make_exception_ptr(std::invalid_argument("x")),
         CircuitCompileError::invalidParameters},
        {"out_of_range", std::make_exception_ptr(std::out_of_range("x")),
         CircuitCompileError::invalidParameters},
        {"derived out_of_range", std::make_exception_ptr(DerivedOutOfRange()),
         CircuitCompileError::invalidParameters},
        {"length_error", std::make_exception_ptr(std::length_error("x")),
         CircuitCompileError::capacityExceeded},
        {"derived length_error", std::make_exception_ptr(DerivedLengthError()),
         CircuitCompileError::capacityExceeded},
        {"runtime_error", std::make_exception_ptr(std::runtime_error("x")),
         CircuitCompileError::singularMatrix},
        {"range_error", std::make_exception_ptr(std::range_error("x")), CircuitCompileError::singularMatrix},
        {"system_error",
         std::make_exception_ptr(std::system_error(std::make_error_code(std::errc::io_error))),
         CircuitCompileError::singularMatrix},
        {"ios failure", std::make_exception_ptr(std::ios_base::failure("x")),
         CircuitCompileError::singularMatrix},
        {"domain_error (another logic error)", std::make_exception_ptr(std::domain_error("x")),
         CircuitCompileError::unexpected},
        {"logic_error", std::make_exception_ptr(std::logic_error("x")), CircuitCompileError::unexpected},
        {"bad_alloc", std::make_exception_ptr(std::bad_alloc()), CircuitCompileError::unexpected},
        {"an int", std::make_exception_ptr(42), CircuitCompileError::unexpected},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyCompileFailure(c.failure), c.code) << c.name;
}

// ---------------------------------------------------------------------------------------------------
// The automated EQ, end to end with the real worker.

class AutomatedEq : public ::testing::Test
{
protected:
    void prepare(double rate, const PultecEqParameters& p = {}) { eq.prepare(rate, p); }

    // Requests `p` and waits until the worker has queued its circuit.
    void requestAndWaitForCompile(const PultecEqParameters& p)
    {
        const auto before = eq.getCompletedCompilationCount();
        eq.requestParameters(p);
        ASSERT_TRUE(eventually([&] { return eq.getCompletedCompilationCount() > before; }));
    }

    void requestAndWaitForFailure(const PultecEqParameters& p)
    {
        const auto before = eq.getCompilationFailureCount();
        eq.requestParameters(p);
        ASSERT_TRUE(eventually([&] { return eq.getCompilationFailureCount() > before; }));
    }

    void processUntilSteady()
    {
        for (int block = 0; block < 100 && eq.isTransitioning(); ++block)
            for (int i = 0; i < 64; ++i)
                eq.processSample(0.1);
    }

    AutomatedEqp1aPassiveEq eq;
};

TEST_F(AutomatedEq, FreshPrepareAppliesTheRequestedSet)
{
    prepare(48000.0, boosted(3));
    const auto h = eq.getCircuitHealth();
    EXPECT_EQ(eq.getPublishedSequence(), 2u);
    EXPECT_EQ(h.requestedSequence, 2u);
    EXPECT_EQ(h.appliedSequence, 2u);
    EXPECT_EQ(h.failedSequence, 0u);
    EXPECT_EQ(h.lastError, CircuitCompileError::none);
    EXPECT_EQ(eq.getTransitionLength(), 240u);
    EXPECT_TRUE(sameParameters(Inspector::active(eq).getParameters(), boosted(3)));
    EXPECT_TRUE(sameParameters(Inspector::incoming(eq).getParameters(), boosted(3)));
}

TEST_F(AutomatedEq, OnlyChangedRequestsArePublished)
{
    prepare(48000.0, boosted(3));
    eq.requestParameters(boosted(3));
    EXPECT_EQ(eq.getPublishedSequence(), 2u);
    eq.requestParameters(boosted(3.01f));
    EXPECT_EQ(eq.getPublishedSequence(), 4u);
    eq.requestParameters(boosted(3.01f));
    EXPECT_EQ(eq.getPublishedSequence(), 4u);
    auto negativeZero = boosted(3.01f);
    negativeZero.lowAtten = -0.0f;
    eq.requestParameters(negativeZero);
    EXPECT_EQ(eq.getPublishedSequence(), 4u) << "-0.0 is the same setting";
}

TEST_F(AutomatedEq, RequestsBeforePrepareOrAfterReleaseAreIgnored)
{
    eq.requestParameters(boosted(5));
    EXPECT_EQ(eq.getPublishedSequence(), 0u);
    prepare(48000.0);
    EXPECT_EQ(eq.getPublishedSequence(), 2u);
    eq.release();
    eq.requestParameters(boosted(5));
    EXPECT_EQ(eq.getPublishedSequence(), 2u);

    // Not remembered either: after a new prepare with the defaults, asking for 5 publishes.
    prepare(48000.0);
    EXPECT_EQ(eq.getPublishedSequence(), 4u) << "preparing again continues the sequence";
    eq.requestParameters(boosted(5));
    EXPECT_EQ(eq.getPublishedSequence(), 6u);
}

TEST_F(AutomatedEq, AFailingRecordKeepsTheRunningCircuitAndIsRecorded)
{
    prepare(48000.0, boosted(4));
    requestAndWaitForFailure(invalidRecord());
    const auto h = eq.getCircuitHealth();
    EXPECT_EQ(h.requestedSequence, 4u);
    EXPECT_EQ(h.appliedSequence, 2u);
    EXPECT_EQ(h.failedSequence, 4u);
    EXPECT_EQ(h.lastError, CircuitCompileError::invalidParameters);
    EXPECT_EQ(eq.getCompilationFailureCount(), 1u);

    eq.beginBlock(false);
    EXPECT_FALSE(eq.isTransitioning());
    auto reference = hesko::test::preparedEq(48000.0, boosted(4));
    EXPECT_EQ(eq.processSample(0.5), reference.processSample(0.5)) << "the old circuit plays on";

    // A later good set is compiled as usual and overtakes the failure.
    requestAndWaitForCompile(boosted(6));
    eq.beginBlock(false);
    processUntilSteady();
    EXPECT_EQ(eq.getCircuitHealth().appliedSequence, 6u);
    EXPECT_EQ(eq.getCompilationFailureCount(), 1u) << "a failed set is not retried";
}

TEST_F(AutomatedEq, AFailingPrepareRunsTheSafeCircuit)
{
    prepare(48000.0, invalidRecord());
    const auto h = eq.getCircuitHealth();
    EXPECT_TRUE(eq.isPrepared());
    EXPECT_EQ(h.appliedSequence, 0u);
    EXPECT_EQ(h.failedSequence, 2u);
    EXPECT_EQ(h.requestedSequence, 2u);
    EXPECT_EQ(h.lastError, CircuitCompileError::invalidParameters);
    EXPECT_TRUE(sameParameters(Inspector::active(eq).getParameters(), PultecEqParameters{}));
}

TEST_F(AutomatedEq, WhenEvenTheSafeCircuitFailsPrepareThrowsAndStaysUnprepared)
{
    try
    {
        prepare(std::numeric_limits<double>::infinity(), boosted(1));
        FAIL() << "no exception";
    }
    catch (const std::runtime_error& e)
    {
        EXPECT_STREQ(e.what(), "Could not compile either the requested or safe passive circuit");
    }
    EXPECT_FALSE(eq.isPrepared());
    EXPECT_EQ(eq.getCompilationFailureCount(), 2u);
    EXPECT_EQ(eq.getCircuitHealth().failedSequence, 2u);
    eq.requestParameters(boosted(2));
    EXPECT_EQ(eq.getPublishedSequence(), 2u) << "an unprepared object ignores requests";
}

TEST_F(AutomatedEq, AFadeOfLengthLMixesExactlyLSamples)
{
    for (double rate : {48000.0, 8000.0, 4000.0})
    {
        SCOPED_TRACE(rate);
        prepare(rate, boosted(2));
        const std::uint64_t length = rate >= 48000.0 ? 240 : 40;
        ASSERT_EQ(eq.getTransitionLength(), length);
        auto oldCircuit = hesko::test::preparedEq(rate, boosted(2));
        const auto input = [](std::uint64_t n) { return std::sin(0.05 * static_cast<double>(n)) + 0.2; };
        std::uint64_t n = 0;
        for (; n < 500; ++n)
            ASSERT_EQ(eq.processSample(input(n)), oldCircuit.processSample(input(n)));

        requestAndWaitForCompile(boosted(9));
        const auto sequence = eq.getPublishedSequence();
        eq.beginBlock(false);
        ASSERT_TRUE(eq.isTransitioning());
        auto newCircuit = hesko::test::preparedEq(rate, boosted(9));
        ASSERT_TRUE(newCircuit.copyStateFrom(oldCircuit));

        for (std::uint64_t i = 0; i < length; ++i, ++n)
        {
            EXPECT_NE(eq.getCircuitHealth().appliedSequence, sequence)
                << "applied moves on the last mixed sample";
            const double a = oldCircuit.processSample(input(n));
            const double b = newCircuit.processSample(input(n));
            const double w = static_cast<double>(i) / static_cast<double>(length);
            ASSERT_EQ(eq.processSample(input(n)), a + (b - a) * w) << "mixed sample " << i;
        }
        EXPECT_FALSE(eq.isTransitioning());
        EXPECT_EQ(eq.getCircuitHealth().appliedSequence, sequence);
        for (int i = 0; i < 10; ++i, ++n)
            ASSERT_EQ(eq.processSample(input(n)), newCircuit.processSample(input(n)))
                << "the new circuit alone";
        eq.release();
    }
}

TEST_F(AutomatedEq, StereoFadeSharesOneWeightAndOneStepPerPair)
{
    prepare(48000.0, boosted(1));
    requestAndWaitForCompile(boosted(8));
    eq.beginBlock(false);
    auto a = hesko::test::preparedEq(48000.0, boosted(1));
    auto b = hesko::test::preparedEq(48000.0, boosted(8));
    for (std::uint64_t i = 0; i < 240; ++i)
    {
        const double l = 0.3, r = -0.7;
        const auto x = a.processStereoSample(l, r);
        const auto y = b.processStereoSample(l, r);
        const double w = static_cast<double>(i) / 240.0;
        const auto got = eq.processStereoSample(l, r);
        ASSERT_EQ(got.first, x.first + (y.first - x.first) * w);
        ASSERT_EQ(got.second, x.second + (y.second - x.second) * w);
    }
    EXPECT_FALSE(eq.isTransitioning());
}

TEST_F(AutomatedEq, SeveralQueuedCircuitsGiveOneFadeToTheNewest)
{
    prepare(48000.0);
    requestAndWaitForCompile(boosted(2));
    requestAndWaitForCompile(boosted(7));
    EXPECT_EQ(Inspector::queued(eq), 2u);
    eq.beginBlock(false);
    EXPECT_EQ(Inspector::incomingSequence(eq), 6u);
    EXPECT_TRUE(sameParameters(Inspector::incoming(eq).getParameters(), boosted(7)));
    EXPECT_EQ(Inspector::queued(eq), 0u);
    processUntilSteady();
    eq.beginBlock(false);
    EXPECT_FALSE(eq.isTransitioning()) << "nothing else was waiting";
    EXPECT_EQ(eq.getCircuitHealth().appliedSequence, 6u);
}

TEST_F(AutomatedEq, ARequestDuringAFadeWaitsForTheNextBlockAfterIt)
{
    prepare(48000.0);
    requestAndWaitForCompile(boosted(2));
    eq.beginBlock(false);
    for (int i = 0; i < 100; ++i)
        eq.processSample(0.2);
    requestAndWaitForCompile(boosted(5));
    eq.beginBlock(false);
    EXPECT_EQ(Inspector::incomingSequence(eq), 4u) << "the running fade goes on";
    for (int i = 0; i < 140; ++i)
        eq.processSample(0.2);
    EXPECT_FALSE(eq.isTransitioning());
    EXPECT_EQ(eq.getCircuitHealth().appliedSequence, 4u);
    eq.beginBlock(false);
    EXPECT_TRUE(eq.isTransitioning());
    EXPECT_EQ(Inspector::incomingSequence(eq), 6u);
}

TEST_F(AutomatedEq, ResetMidFadeMakesTheIncomingCircuitActive)
{
    prepare(48000.0);
    requestAndWaitForCompile(boosted(6));
    eq.beginBlock(false);
    for (int i = 0; i < 50; ++i)
        eq.processSample(1.0);
    eq.reset();
    EXPECT_FALSE(eq.isTransitioning());
    EXPECT_EQ(eq.getCircuitHealth().appliedSequence, 4u);
    auto fromRest = hesko::test::preparedEq(48000.0, boosted(6));
    EXPECT_EQ(eq.processSample(0.5), fromRest.processSample(0.5)) << "at rest, new circuit";
}

TEST_F(AutomatedEq, OfflineBlocksApplyARequestInTheSameBlock)
{
    prepare(48000.0);
    eq.requestParameters(boosted(10));
    eq.beginBlock(true);
    EXPECT_TRUE(eq.isTransitioning());
    EXPECT_EQ(Inspector::incomingSequence(eq), 4u);
    EXPECT_TRUE(sameParameters(Inspector::incoming(eq).getParameters(), boosted(10)));

    // A failing request offline is recorded at once and not retried.
    processUntilSteady();
    eq.requestParameters(invalidRecord());
    eq.beginBlock(true);
    EXPECT_EQ(eq.getCircuitHealth().failedSequence, 6u);
    EXPECT_FALSE(eq.isTransitioning());
    const auto failures = eq.getCompilationFailureCount();
    eq.beginBlock(true);
    EXPECT_EQ(eq.getCompilationFailureCount(), failures);
}

TEST(AutomatedEqLifetime, DestroyingPreparedObjectsWhileTheWorkerServicesThemIsSafe)
{
    AutomatedEqp1aPassiveEq survivor;
    survivor.prepare(96000.0, {});
    for (int round = 0; round < 100; ++round)
    {
        auto doomed = std::make_unique<AutomatedEqp1aPassiveEq>();
        doomed->prepare(96000.0, {});
        for (int i = 0; i < 20; ++i)
            doomed->requestParameters(boosted(static_cast<float>(i % 10)));
        if (round % 3 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(500)); // let a pass start on it
        doomed.reset();
    }
    const auto before = survivor.getCompletedCompilationCount();
    survivor.requestParameters(boosted(4));
    EXPECT_TRUE(eventually([&] { return survivor.getCompletedCompilationCount() > before; }))
        << "the worker keeps serving the others";
}

// The worker's threads, by name, in this process.
int workerThreadCount()
{
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        count += name == PassiveCompilationWorker::threadName ? 1 : 0;
    }
    return count;
}

TEST(AutomatedEqLifetime, ManyPreparedObjectsShareOneWorkerThread)
{
    std::vector<std::unique_ptr<AutomatedEqp1aPassiveEq>> eqs;
    for (int i = 0; i < 6; ++i)
    {
        eqs.push_back(std::make_unique<AutomatedEqp1aPassiveEq>());
        eqs.back()->prepare(44100.0 * (1 + i % 2), {});
    }
    EXPECT_EQ(workerThreadCount(), 1);
    const auto id = PassiveCompilationWorker::instance().getThreadId();
    eqs.clear();
    AutomatedEqp1aPassiveEq another;
    another.prepare(48000.0, {});
    EXPECT_EQ(PassiveCompilationWorker::instance().getThreadId(), id);
    EXPECT_EQ(workerThreadCount(), 1);
}
} // namespace

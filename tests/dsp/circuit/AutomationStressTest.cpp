// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// The audio thread and the compilation worker at full tilt. Meant to run under ThreadSanitizer too.
#include "AutomationFixtures.h"
#include "PassiveEqFixtures.h"
#include "dsp/circuit/PassiveCompilationWorker.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace
{
using namespace hesko::dsp;
using namespace hesko::dsp::circuit;
using Inspector = AutomatedEqInspector;

PultecEqParameters randomRecord(std::mt19937& rng)
{
    std::uniform_real_distribution<float> amount(0.0f, 10.0f);
    return {LowFrequency(rng() % 4),       amount(rng), amount(rng),
            HighBoostFrequency(rng() % 7), amount(rng), amount(rng),
            HighAttenFrequency(rng() % 3), amount(rng)};
}

TEST(AutomationStress, EveryActivatedCircuitWasReallyPublishedAndAppliedOnlyGrows)
{
    AutomatedEqp1aPassiveEq eq;
    eq.prepare(192000.0, {});
    std::map<std::uint64_t, PultecEqParameters> published{{2, PultecEqParameters{}}};
    std::mt19937 rng(17);
    std::uint64_t lastApplied = 2;
    int transitions = 0;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < deadline)
    {
        const auto p = randomRecord(rng);
        eq.requestParameters(p);
        published[eq.getPublishedSequence()] = p;

        const bool wasTransitioning = eq.isTransitioning();
        eq.beginBlock(false);
        if (!wasTransitioning && eq.isTransitioning())
        {
            ++transitions;
            const auto sequence = Inspector::incomingSequence(eq);
            ASSERT_EQ(published.count(sequence), 1u) << "a circuit for a sequence never published";
            ASSERT_TRUE(sameParameters(Inspector::incoming(eq).getParameters(), published[sequence]))
                << "torn read: the circuit's record differs from the one published as " << sequence;
        }
        for (int i = 0; i < 64; ++i)
        {
            const auto [l, r] = eq.processStereoSample(std::sin(0.01 * i), std::cos(0.013 * i));
            ASSERT_TRUE(std::isfinite(l) && std::isfinite(r));
        }
        const auto applied = eq.getCircuitHealth().appliedSequence;
        ASSERT_GE(applied, lastApplied);
        lastApplied = applied;
    }
    EXPECT_GT(transitions, 3) << "the worker should have delivered several circuits";
    EXPECT_EQ(eq.getCompilationFailureCount(), 0u);
}

TEST(AutomationStress, RealtimeBlocksNeverWaitForTheWorker)
{
    AutomatedEqp1aPassiveEq eq;
    eq.prepare(176400.0, {});
    std::mt19937 rng(23);
    std::atomic<bool> audioDone{false};
    std::atomic<bool> lockHeld{false};
    std::atomic<bool> finishedWhileHeld{false};

    // Hold the worker's mutex for as long as the audio loop needs: a real-time block that took it
    // would stall here until the deadline.
    std::thread holder(
        [&]
        {
            PassiveCompilationWorker::instance().runExclusive(
                [&]
                {
                    lockHeld = true;
                    finishedWhileHeld =
                        hesko::test::eventually([&] { return audioDone.load(); }, std::chrono::seconds(20));
                });
        });
    ASSERT_TRUE(hesko::test::eventually([&] { return lockHeld.load(); }));
    for (int block = 0; block < 2000; ++block)
    {
        eq.requestParameters(randomRecord(rng));
        eq.beginBlock(false);
        for (int i = 0; i < 32; ++i)
            eq.processSample(0.25);
    }
    audioDone = true;
    holder.join();
    EXPECT_TRUE(finishedWhileHeld.load()) << "the audio loop waited for the worker's mutex";
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/circuit/PassiveCompilationWorker.h"
#include "AutomationFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace
{
using hesko::test::eventually;

// Orders events across threads: each event takes the next number.
std::atomic<int> eventClock{0};

// An instance whose passes are counted and can be held open by the test.
struct InstrumentedInstance
{
    std::atomic<int> calls{0};
    std::atomic<bool> holdPass{false};
    std::atomic<bool> inPass{false};
    std::atomic<int> lastPassEnded{0};

    void serviceCompilation() noexcept
    {
        inPass = true;
        calls.fetch_add(1);
        while (holdPass.load())
            std::this_thread::yield();
        lastPassEnded = ++eventClock;
        inPass = false;
    }
};

using Worker = hesko::dsp::circuit::BasicCompilationWorker<InstrumentedInstance>;

// Lets a held pass go however the test ends, so a failed assertion cannot deadlock the worker.
struct ReleaseOnExit
{
    InstrumentedInstance& instance;
    ~ReleaseOnExit() { instance.holdPass = false; }
};

TEST(CompilationWorker, SleepsWhileNothingIsRegistered)
{
    Worker worker;
    ASSERT_TRUE(eventually([&] { return worker.getWakeCount() == 0; }, std::chrono::milliseconds(100)));
    std::this_thread::sleep_for(std::chrono::milliseconds(60)); // some thirty poll intervals
    EXPECT_EQ(worker.getWakeCount(), 0u) << "no periodic wake-ups with an empty list";
    EXPECT_EQ(worker.getPassCount(), 0u);
}

TEST(CompilationWorker, RegistrationWakesTheSleepingThread)
{
    InstrumentedInstance instance;
    Worker worker;
    worker.registerInstance(&instance);
    // The empty-list wait has no time-out: only the registration's notification can end it.
    EXPECT_TRUE(eventually([&] { return instance.calls.load() > 0; }));
    worker.unregisterInstance(&instance);
}

TEST(CompilationWorker, PollsRegisteredInstancesInOrder)
{
    InstrumentedInstance a, b;
    Worker worker;
    worker.registerInstance(&a);
    worker.registerInstance(&b);
    EXPECT_TRUE(eventually([&] { return a.calls.load() >= 5 && b.calls.load() >= 5; }));
    worker.unregisterInstance(&a);
    worker.unregisterInstance(&b);
    EXPECT_GE(worker.getWakeCount(), 5u);
}

TEST(CompilationWorker, UnregisteringDuringAPassReturnsOnlyAfterThePass)
{
    InstrumentedInstance held, heartbeat;
    Worker worker;
    ReleaseOnExit guard{held};
    held.holdPass = true;
    // The heartbeat first: once the held instance is in its pass, registration has to wait for it.
    worker.registerInstance(&heartbeat);
    worker.registerInstance(&held);
    ASSERT_TRUE(eventually([&] { return held.inPass.load(); }));

    std::atomic<int> unregisterReturned{0};
    std::thread unregistering(
        [&]
        {
            worker.unregisterInstance(&held);
            unregisterReturned = ++eventClock;
        });
    // Give a wrong implementation every chance to return early.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(unregisterReturned.load(), 0) << "returned while the pass was still running";
    held.holdPass = false;
    unregistering.join();
    EXPECT_GT(unregisterReturned.load(), held.lastPassEnded.load());

    // Later passes never touch it: the heartbeat proves that passes go on.
    const int callsAfter = held.calls.load();
    const int beats = heartbeat.calls.load();
    ASSERT_TRUE(eventually([&] { return heartbeat.calls.load() >= beats + 5; }));
    EXPECT_EQ(held.calls.load(), callsAfter);
    worker.unregisterInstance(&heartbeat);
}

TEST(CompilationWorker, UnregisteringRemovesEveryDuplicate)
{
    InstrumentedInstance twice, heartbeat;
    Worker worker;
    worker.registerInstance(&twice);
    worker.registerInstance(&heartbeat);
    worker.registerInstance(&twice);
    ASSERT_TRUE(eventually([&] { return twice.calls.load() >= 2; }));
    worker.unregisterInstance(&twice);
    const int calls = twice.calls.load();
    const int beats = heartbeat.calls.load();
    ASSERT_TRUE(eventually([&] { return heartbeat.calls.load() >= beats + 5; }));
    EXPECT_EQ(twice.calls.load(), calls);
    worker.unregisterInstance(&heartbeat);
}

TEST(CompilationWorker, ShutdownFinishesThePassInProgressAndJoins)
{
    InstrumentedInstance held;
    ReleaseOnExit guard{held};
    held.holdPass = true;
    auto worker = std::make_unique<Worker>();
    worker->registerInstance(&held);
    ASSERT_TRUE(eventually([&] { return held.inPass.load(); }));

    std::atomic<int> destroyed{0};
    std::thread destroying(
        [&]
        {
            worker.reset();
            destroyed = ++eventClock;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(destroyed.load(), 0) << "the destructor must wait for the pass";
    held.holdPass = false;
    destroying.join();
    EXPECT_GT(destroyed.load(), held.lastPassEnded.load());
    const int calls = held.calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(held.calls.load(), calls) << "nothing runs after the join";
}

TEST(CompilationWorker, ExclusiveAccessKeepsPassesOut)
{
    InstrumentedInstance instance;
    Worker worker;
    worker.registerInstance(&instance);
    ASSERT_TRUE(eventually([&] { return instance.calls.load() > 0; }));
    worker.runExclusive(
        [&]
        {
            const int calls = instance.calls.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_EQ(instance.calls.load(), calls);
            EXPECT_FALSE(instance.inPass.load());
        });
    worker.unregisterInstance(&instance);
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#endif

namespace hesko::dsp::circuit
{

class AutomatedEqp1aPassiveEq;

// One background thread that repeatedly asks every registered instance to service its pending
// compilation, in registration order, holding its mutex for the whole pass. While anything is
// registered it polls every 2 ms; with nothing registered it sleeps until a registration or shutdown.
//
// A template over the instance type (anything with `void serviceCompilation() noexcept`) so that its
// threading can be tested with instrumented instances; the plug-in uses PassiveCompilationWorker.
template <typename Instance> class BasicCompilationWorker
{
public:
    static constexpr auto pollInterval = std::chrono::milliseconds(2);
    static constexpr const char* threadName = "amberslope-comp";

    // Throws std::system_error "thread constructor failed" when the platform cannot start the thread.
    BasicCompilationWorker()
    {
        try
        {
            thread = std::thread([this] { loop(); });
        }
        catch (const std::system_error& e)
        {
            throw std::system_error(e.code(), "thread constructor failed");
        }
#if defined(__linux__)
        // Named before anyone can look, so that profilers and tests can find it.
        pthread_setname_np(thread.native_handle(), threadName);
#endif
    }

    // Joins the thread; waits for a pass in progress to finish.
    ~BasicCompilationWorker()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            running = false;
        }
        condition.notify_all();
        if (thread.joinable())
            thread.join();
    }

    BasicCompilationWorker(const BasicCompilationWorker&) = delete;
    BasicCompilationWorker& operator=(const BasicCompilationWorker&) = delete;

    // Preparing thread. The first registration wakes a thread that sleeps on an empty list.
    void registerInstance(Instance* instance)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            instances.push_back(instance);
        }
        condition.notify_one();
    }

    // Preparing or destroying thread. Removes every entry for the instance; returns only after a pass in
    // progress has finished, so the worker never touches the instance again.
    void unregisterInstance(Instance* instance)
    {
        std::lock_guard<std::mutex> lock(mutex);
        instances.erase(std::remove(instances.begin(), instances.end(), instance), instances.end());
    }

    // Audio thread, offline rendering only: runs `work` while no pass can run.
    template <typename Work> void runExclusive(Work&& work)
    {
        std::lock_guard<std::mutex> lock(mutex);
        work();
    }

    // Any thread: diagnostics for tests and tools.
    std::uint64_t getWakeCount() const noexcept
    {
        return wakeCount.load(std::memory_order_relaxed);
    }
    std::uint64_t getPassCount() const noexcept
    {
        return passCount.load(std::memory_order_relaxed);
    }
    std::thread::id getThreadId() const noexcept
    {
        return thread.get_id();
    }

private:
    void loop()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (running)
        {
            if (instances.empty())
                condition.wait(lock, [this] { return !running || !instances.empty(); });
            else
                condition.wait_for(lock, pollInterval);
            wakeCount.fetch_add(1, std::memory_order_relaxed);

            if (!running)
                break;
            if (instances.empty())
                continue;
            for (auto* instance : instances)
                instance->serviceCompilation();
            passCount.fetch_add(1, std::memory_order_relaxed);
        }
    }

    std::mutex mutex;
    std::condition_variable condition;
    std::vector<Instance*> instances; // guarded by mutex, registration order
    bool running = true;              // guarded by mutex
    std::atomic<std::uint64_t> wakeCount{0};
    std::atomic<std::uint64_t> passCount{0};
    std::thread thread; // last: starts once everything above exists
};

// The one compilation thread of the process, shared by every plug-in instance.
class PassiveCompilationWorker : public BasicCompilationWorker<AutomatedEqp1aPassiveEq>
{
public:
    // Created on first use (the first prepare), destroyed when the module is unloaded. If the thread
    // cannot start, the error propagates and the next use tries again.
    static PassiveCompilationWorker& instance();
};

} // namespace hesko::dsp::circuit

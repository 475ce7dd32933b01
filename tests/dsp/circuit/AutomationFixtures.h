// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/circuit/AutomatedEqp1aPassiveEq.h"

#include <chrono>
#include <thread>

namespace hesko::dsp::circuit
{
// Reads what the health record summarises: the circuits and sequences themselves.
struct AutomatedEqInspector
{
    static const RealtimeEqp1aPassiveEq& active(const AutomatedEqp1aPassiveEq& eq)
    {
        return eq.circuits[eq.activeIndex];
    }
    static const RealtimeEqp1aPassiveEq& incoming(const AutomatedEqp1aPassiveEq& eq)
    {
        return eq.circuits[eq.incomingIndex];
    }
    static std::uint64_t incomingSequence(const AutomatedEqp1aPassiveEq& eq) { return eq.incomingSequence; }
    static std::uint64_t queued(const AutomatedEqp1aPassiveEq& eq) { return eq.compiledQueue.size(); }
};
} // namespace hesko::dsp::circuit

namespace hesko::test
{
// Polls until `done` holds or the time runs out; the time-out only bounds a failing test.
template <typename Predicate>
bool eventually(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}
} // namespace hesko::test

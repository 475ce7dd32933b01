// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <cstdint>

namespace hesko::dsp::circuit
{

// Why a compilation failed, by the kind of exception the circuit compiler threw.
enum class CircuitCompileError : std::int32_t
{
    none = 0,
    invalidParameters = 1, // invalid argument or out of range
    capacityExceeded = 2,  // length error: too many nodes, elements or reactive states
    singularMatrix = 3,    // any other runtime error
    unexpected = 4,        // anything else
};

// What the editor polls: the newest request, the running circuit and the newest failure.
// Sequence 0 names the safe fallback circuit (applied) or no failure (failed).
struct CircuitHealth
{
    std::uint64_t requestedSequence = 0;
    std::uint64_t appliedSequence = 0;
    std::uint64_t failedSequence = 0;
    CircuitCompileError lastError = CircuitCompileError::none;
};

} // namespace hesko::dsp::circuit

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/circuit/CircuitHealth.h"

#include <cstdint>
#include <optional>
#include <string>

namespace hesko::status
{

// What the status line shows for one reading of the processor, and the error-log line to write if any.
struct StatusReport
{
    bool shown = false;
    std::string headline;               // the visible text
    std::string errorText;              // the accessible description
    std::optional<std::string> logLine; // without its newline
};

// What was logged last, so that each failure is written once.
struct LogMemory
{
    std::uint64_t lastLoggedFailedSequence = 0;
    bool lastLoggedBypass = false;
};

// Message thread: the decision of one 200 ms tick; updates `memory` when it logs or hides.
StatusReport decideStatus(bool dspBypassed, const dsp::circuit::CircuitHealth& health, LogMemory& memory);

// The fixed text for an error code ("Unknown circuit compiler failure" above the known codes).
const char* errorTextFor(dsp::circuit::CircuitCompileError error);

} // namespace hesko::status

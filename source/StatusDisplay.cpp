// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "StatusDisplay.h"

namespace hesko::status
{

const char* errorTextFor(dsp::circuit::CircuitCompileError error)
{
    using E = dsp::circuit::CircuitCompileError;
    switch (error)
    {
    case E::none:
        return "No circuit compiler error";
    case E::invalidParameters:
        return "Invalid circuit parameters";
    case E::capacityExceeded:
        return "Circuit compiler capacity exceeded";
    case E::singularMatrix:
        return "Circuit matrix is singular";
    case E::unexpected:
        return "Unexpected circuit compiler failure";
    }
    return "Unknown circuit compiler failure";
}

StatusReport decideStatus(bool dspBypassed, const dsp::circuit::CircuitHealth& health, LogMemory& memory)
{
    using E = dsp::circuit::CircuitCompileError;
    StatusReport report;
    // The newest request failed while an older circuit still runs.
    const bool updateFailed = health.lastError != E::none &&
                              health.appliedSequence != health.requestedSequence &&
                              health.failedSequence > health.appliedSequence;
    report.shown = dspBypassed || updateFailed;
    if (!report.shown)
    {
        memory.lastLoggedBypass = false;
        return report;
    }

    report.errorText = dspBypassed && health.lastError == E::none ? "Passive circuit initialization failed"
                                                                  : errorTextFor(health.lastError);
    report.headline = dspBypassed ? "DSP BYPASSED - REOPEN OR RELOAD THE PLUG-IN"
                                  : "DSP UPDATE FAILED - PREVIOUS SETTINGS ACTIVE";

    if (health.failedSequence != memory.lastLoggedFailedSequence || dspBypassed != memory.lastLoggedBypass)
    {
        report.logLine = "Amberslope circuit compiler: " + report.errorText +
                         "; requested sequence=" + std::to_string(health.requestedSequence) +
                         ", applied sequence=" + std::to_string(health.appliedSequence) +
                         ", failed sequence=" + std::to_string(health.failedSequence) +
                         (dspBypassed ? "; audio is safely bypassed" : "; previous circuit remains active");
        memory.lastLoggedFailedSequence = health.failedSequence;
        memory.lastLoggedBypass = dspBypassed;
    }
    return report;
}

} // namespace hesko::status

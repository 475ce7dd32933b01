// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "StatusDisplay.h"

#include <gtest/gtest.h>

namespace
{
using hesko::dsp::circuit::CircuitCompileError;
using hesko::dsp::circuit::CircuitHealth;
using hesko::status::decideStatus;
using hesko::status::LogMemory;

constexpr const char* bypassHeadline = "DSP BYPASSED - REOPEN OR RELOAD THE PLUG-IN";
constexpr const char* updateHeadline = "DSP UPDATE FAILED - PREVIOUS SETTINGS ACTIVE";

TEST(StatusDisplay, DecidesWhatTheLineShowsAndLogs)
{
    const struct
    {
        const char* name;
        bool bypassed;
        CircuitHealth health;
        bool shown;
        const char* headline;
        const char* errorText;
        const char* logLine; // nullptr: nothing logged
    } cases[] = {
        {"never failed", false, {2, 2, 0, CircuitCompileError::none}, false, "", "", nullptr},
        {"bypassed, no error recorded",
         true,
         {2, 0, 0, CircuitCompileError::none},
         true,
         bypassHeadline,
         "Passive circuit initialization failed",
         "Amberslope circuit compiler: Passive circuit initialization failed; requested sequence=2, applied "
         "sequence=0, failed sequence=0; audio is safely bypassed"},
        {"bypassed with a recorded error",
         true,
         {2, 0, 2, CircuitCompileError::invalidParameters},
         true,
         bypassHeadline,
         "Invalid circuit parameters",
         "Amberslope circuit compiler: Invalid circuit parameters; requested sequence=2, applied sequence=0, "
         "failed "
         "sequence=2; audio is safely bypassed"},
        {"update failed",
         false,
         {12, 10, 12, CircuitCompileError::singularMatrix},
         true,
         updateHeadline,
         "Circuit matrix is singular",
         "Amberslope circuit compiler: Circuit matrix is singular; requested sequence=12, applied "
         "sequence=10, "
         "failed sequence=12; previous circuit remains active"},
        {"capacity",
         false,
         {8, 4, 8, CircuitCompileError::capacityExceeded},
         true,
         updateHeadline,
         "Circuit compiler capacity exceeded",
         nullptr /* checked below */},
        {"unexpected",
         false,
         {8, 4, 6, CircuitCompileError::unexpected},
         true,
         updateHeadline,
         "Unexpected circuit compiler failure",
         nullptr},
        {"code above 4",
         false,
         {8, 4, 6, static_cast<CircuitCompileError>(9)},
         true,
         updateHeadline,
         "Unknown circuit compiler failure",
         nullptr},
        {"failure not newer than applied",
         false,
         {8, 6, 4, CircuitCompileError::singularMatrix},
         false,
         "",
         "",
         nullptr},
        {"applied already equals requested",
         false,
         {8, 8, 10, CircuitCompileError::singularMatrix},
         false,
         "",
         "",
         nullptr},
        {"a failure, but no error code", false, {8, 4, 6, CircuitCompileError::none}, false, "", "", nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        LogMemory memory;
        const auto report = decideStatus(c.bypassed, c.health, memory);
        EXPECT_EQ(report.shown, c.shown);
        EXPECT_EQ(report.headline, c.headline);
        EXPECT_EQ(report.errorText, c.errorText);
        EXPECT_EQ(report.logLine.has_value(), c.shown) << "a fresh memory logs whatever is shown";
        if (c.logLine != nullptr)
        {
            EXPECT_EQ(report.logLine.value_or(""), c.logLine);
        }
    }
}

TEST(StatusDisplay, EachFailureIsLoggedOnce)
{
    LogMemory memory;
    const CircuitHealth failing{12, 10, 12, CircuitCompileError::singularMatrix};
    EXPECT_TRUE(decideStatus(false, failing, memory).logLine);
    for (int tick = 0; tick < 20; ++tick)
        EXPECT_FALSE(decideStatus(false, failing, memory).logLine) << "tick " << tick;

    // A second failure logs a second line while the same headline stays.
    const CircuitHealth again{14, 10, 14, CircuitCompileError::singularMatrix};
    const auto second = decideStatus(false, again, memory);
    EXPECT_EQ(second.headline, updateHeadline);
    EXPECT_TRUE(second.logLine);

    // The bypass flag changing while shown logs again; hiding forgets only the bypass flag.
    EXPECT_TRUE(decideStatus(true, again, memory).logLine);
    EXPECT_FALSE(decideStatus(false, {14, 14, 14, CircuitCompileError::singularMatrix}, memory).shown);
    EXPECT_EQ(memory.lastLoggedFailedSequence, 14u);
    EXPECT_FALSE(memory.lastLoggedBypass);
    EXPECT_FALSE(decideStatus(false, {16, 14, 14, CircuitCompileError::singularMatrix}, memory).shown);
    EXPECT_FALSE(decideStatus(false, {16, 12, 14, CircuitCompileError::singularMatrix}, memory).logLine)
        << "the same failed sequence is not logged again after a hide";
}

TEST(StatusDisplay, TheCodeZeroTextNeverReachesTheScreen)
{
    LogMemory memory;
    const auto bypassed = decideStatus(true, {2, 0, 0, CircuitCompileError::none}, memory);
    EXPECT_NE(bypassed.errorText, "No circuit compiler error");
    EXPECT_EQ(hesko::status::errorTextFor(CircuitCompileError::none),
              std::string("No circuit compiler error"));
}
} // namespace

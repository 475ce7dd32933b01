// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/Realtime.h"

#include <cstdint>

namespace hesko::dsp
{

// Switch positions; the enumerator value is the position on the panel.
enum class LowFrequency : std::int32_t
{
    hz20 = 0,
    hz30 = 1,
    hz60 = 2,
    hz100 = 3,
};

enum class HighBoostFrequency : std::int32_t
{
    khz3 = 0,
    khz4 = 1,
    khz5 = 2,
    khz8 = 3,
    khz10 = 4,
    khz12 = 5,
    khz16 = 6,
};

enum class HighAttenFrequency : std::int32_t
{
    khz5 = 0,
    khz10 = 1,
    khz20 = 2,
};

// What shapes the passive network: three switches and five dial amounts (0 to 10).
// A default record is the panel's default position, which is flat.
struct PultecEqParameters
{
    LowFrequency lowFrequency = LowFrequency::hz60;
    float lowBoost = 0.0f;
    float lowAtten = 0.0f;
    HighBoostFrequency highBoostFrequency = HighBoostFrequency::khz8;
    float highBoost = 0.0f;
    float highBandwidth = 5.0f;
    HighAttenFrequency highAttenFrequency = HighAttenFrequency::khz10;
    float highAtten = 0.0f;
};

// Published as eight 32-bit words between threads.
static_assert(sizeof(PultecEqParameters) == 8 * sizeof(std::int32_t));

// True when the circuit model accepts the record: every switch inside its table (negative values
// are out of range) and every amount finite, not negative and at most 10.
bool isValidParameters(const PultecEqParameters& parameters) noexcept;

// Field-by-field equality: 0.0 equals -0.0, and a NaN field makes two records differ (even a
// record compared with itself), so a NaN never passes for "nothing changed".
bool sameParameters(const PultecEqParameters& a, const PultecEqParameters& b) noexcept HESKO_NONBLOCKING;

} // namespace hesko::dsp

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PultecEqParameters.h"
#include "dsp/Realtime.h"

#include <cmath>
#include <cstdint>

namespace hesko::dsp
{
namespace
{
template <typename Enum> bool positionBelow(Enum value, std::uint32_t count) noexcept
{
    // Compared as unsigned, so -1 wraps far above every table size.
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(value)) < count;
}

bool validAmount(float amount) noexcept
{
    return std::isfinite(amount) && !(amount < 0.0f) && amount <= 10.0f;
}
} // namespace

bool isValidParameters(const PultecEqParameters& p) noexcept
{
    return positionBelow(p.lowFrequency, 4) && positionBelow(p.highBoostFrequency, 7) &&
           positionBelow(p.highAttenFrequency, 3) && validAmount(p.lowBoost) && validAmount(p.lowAtten) &&
           validAmount(p.highBoost) && validAmount(p.highBandwidth) && validAmount(p.highAtten);
}

bool sameParameters(const PultecEqParameters& a, const PultecEqParameters& b) noexcept HESKO_NONBLOCKING
{
    return a.lowFrequency == b.lowFrequency && a.lowBoost == b.lowBoost && a.lowAtten == b.lowAtten &&
           a.highBoostFrequency == b.highBoostFrequency && a.highBoost == b.highBoost &&
           a.highBandwidth == b.highBandwidth && a.highAttenFrequency == b.highAttenFrequency &&
           a.highAtten == b.highAtten;
}

} // namespace hesko::dsp

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "ParameterMapping.h"

#include "dsp/ControlProfile.h"
#include "dsp/Controls.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace hesko
{
namespace
{
using dsp::eqp1a_profile::Controls;

// The choice index truncated toward zero, compared as unsigned so that a negative one falls back too.
template <typename Table> auto choose(const Table& table, float plain, int fallback) noexcept
{
    // Values a 32-bit integer cannot hold (and NaN) are out of every table.
    const bool representable = plain > -2147483648.0f && plain < 2147483648.0f;
    const auto index = static_cast<std::uint32_t>(representable ? static_cast<std::int32_t>(plain) : -1);
    return table[index < table.size() ? index : static_cast<std::uint32_t>(fallback)].value;
}

enum Index : std::size_t
{
    lowFrequency,
    lowBoost,
    lowAtten,
    highBoostFrequency,
    highBoost,
    highBandwidth,
    highAttenFrequency,
    highAtten,
    eqIn,
    analogNoise,
    outputGain,
};
} // namespace

DspSettings mapParameters(const PlainParameterValues& plain) noexcept
{
    namespace profile = control_profile;
    DspSettings settings;
    auto& eq = settings.equalizer;
    eq.lowFrequency =
        choose(profile::lowFrequencies, plain[lowFrequency], Controls::lowFrequencyDefaultChoice);
    eq.lowBoost = plain[lowBoost];
    eq.lowAtten = plain[lowAtten];
    eq.highBoostFrequency = choose(profile::highBoostFrequencies, plain[highBoostFrequency],
                                   Controls::highBoostFrequencyDefaultChoice);
    eq.highBoost = plain[highBoost];
    eq.highBandwidth = plain[highBandwidth];
    eq.highAttenFrequency = choose(profile::highAttenFrequencies, plain[highAttenFrequency],
                                   Controls::highAttenFrequencyDefaultChoice);
    eq.highAtten = plain[highAtten];
    if (plain[eqIn] < 0.5f)
        eq.lowBoost = eq.lowAtten = eq.highBoost = eq.highAtten = 0.0f; // the network stays in, flat

    settings.analogNoise = plain[analogNoise] >= 0.5f;
    settings.outputGain = decibelsToGain(plain[outputGain]);
    return settings;
}

double decibelsToGain(float decibels) noexcept
{
    const double d = static_cast<double>(decibels);
    return d > -100.0 ? std::pow(10.0, d / 20.0) : 0.0;
}

bool approximatelySameGain(double a, double b) noexcept
{
    if (!std::isfinite(a) || !std::isfinite(b))
        return a == b;
    const double difference = std::abs(a - b);
    return difference <= std::numeric_limits<double>::min() ||
           difference <= std::numeric_limits<double>::epsilon() * std::max(std::abs(a), std::abs(b));
}

} // namespace hesko

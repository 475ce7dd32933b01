// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <array>

namespace hesko::parameter_ids
{

// Host parameter IDs, in the order the host lists them. Saved states key on these: never rename.
inline constexpr const char* lowFrequency = "lowFrequency";
inline constexpr const char* lowBoost = "lowBoost";
inline constexpr const char* lowAtten = "lowAtten";
inline constexpr const char* highBoostFrequency = "highBoostFrequency";
inline constexpr const char* highBoost = "highBoost";
inline constexpr const char* highBandwidth = "highBandwidth";
inline constexpr const char* highAttenFrequency = "highAttenFrequency";
inline constexpr const char* highAtten = "highAtten";
inline constexpr const char* eqIn = "eqIn";
inline constexpr const char* analogNoise = "analogNoise";
inline constexpr const char* outputGain = "outputGain";

inline constexpr std::array<const char*, 11> all{
    lowFrequency,       lowBoost,  lowAtten, highBoostFrequency, highBoost, highBandwidth,
    highAttenFrequency, highAtten, eqIn,     analogNoise,        outputGain};

} // namespace hesko::parameter_ids

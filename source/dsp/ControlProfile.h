// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "PultecEqParameters.h"

#include <array>

namespace hesko::control_profile
{

// One switch position and its panel label (the number only; whoever shows it adds the unit).
template <typename E> struct Choice
{
    E value;
    const char* label;
};

// Low band in hertz.
inline constexpr std::array<Choice<dsp::LowFrequency>, 4> lowFrequencies{{
    {dsp::LowFrequency::hz20, "20"},
    {dsp::LowFrequency::hz30, "30"},
    {dsp::LowFrequency::hz60, "60"},
    {dsp::LowFrequency::hz100, "100"},
}};

// High boost in kilohertz.
inline constexpr std::array<Choice<dsp::HighBoostFrequency>, 7> highBoostFrequencies{{
    {dsp::HighBoostFrequency::khz3, "3"},
    {dsp::HighBoostFrequency::khz4, "4"},
    {dsp::HighBoostFrequency::khz5, "5"},
    {dsp::HighBoostFrequency::khz8, "8"},
    {dsp::HighBoostFrequency::khz10, "10"},
    {dsp::HighBoostFrequency::khz12, "12"},
    {dsp::HighBoostFrequency::khz16, "16"},
}};

// High attenuation in kilohertz.
inline constexpr std::array<Choice<dsp::HighAttenFrequency>, 3> highAttenFrequencies{{
    {dsp::HighAttenFrequency::khz5, "5"},
    {dsp::HighAttenFrequency::khz10, "10"},
    {dsp::HighAttenFrequency::khz20, "20"},
}};

// Display names of the eleven controls, as the host lists them.
struct Names
{
    static constexpr const char* lowFrequency = "Low Frequency";
    static constexpr const char* lowBoost = "Low Boost";
    static constexpr const char* lowAtten = "Low Attenuation";
    static constexpr const char* highBoostFrequency = "High Boost Frequency";
    static constexpr const char* highBoost = "High Boost";
    static constexpr const char* highBandwidth = "High Bandwidth";
    static constexpr const char* highAttenFrequency = "High Attenuation Frequency";
    static constexpr const char* highAtten = "High Attenuation";
    static constexpr const char* eqIn = "EQ In";
    static constexpr const char* analogNoise = "Analog Noise";
    static constexpr const char* output = "Output Trim";
};

} // namespace hesko::control_profile

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/PultecEqParameters.h"

#include <array>

namespace hesko
{

// One block's reading of the eleven host parameters, as plain values in host order.
using PlainParameterValues = std::array<float, 11>;

// What a block's reading means to the DSP.
struct DspSettings
{
    dsp::PultecEqParameters equalizer;
    bool analogNoise = false;
    double outputGain = 1.0; // linear
};

// Choice indices outside their tables (a damaged plain value) fall back to the default position;
// EQ In off zeroes the four amounts but leaves the switches and the bandwidth as set.
DspSettings mapParameters(const PlainParameterValues& plain) noexcept;

// Decibels to gain in double precision; -100 dB and below is silence.
double decibelsToGain(float decibels) noexcept;

// The smoother's notion of "the same target": within the smallest normal double or one epsilon of the
// larger magnitude; non-finite values only when exactly equal.
bool approximatelySameGain(double a, double b) noexcept;

} // namespace hesko

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "RealtimeLinearCircuit.h"

#include <complex>

namespace hesko::dsp::circuit
{

// The exact frequency response of a compiled circuit's state-space recursion at `frequency` hertz:
// H(z) = D + C (zI - A)^-1 B at z = exp(j 2 pi f / fs). For analysis and tools; not for the audio thread.
// Returns 0 for a circuit that is not ready.
std::complex<double> frequencyResponse(const RealtimeLinearCircuit& circuit, double frequency) noexcept;

} // namespace hesko::dsp::circuit

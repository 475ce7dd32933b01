// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/PultecEqParameters.h"
#include "dsp/circuit/FrequencyResponse.h"
#include "dsp/circuit/RealtimeEqp1aPassiveEq.h"

#include <cmath>
#include <string>

namespace hesko::test
{

inline dsp::PultecEqParameters record(dsp::LowFrequency lf, float lowBoost, float lowAtten,
                                      dsp::HighBoostFrequency hbf, float highBoost, float bandwidth,
                                      dsp::HighAttenFrequency haf, float highAtten)
{
    return {lf, lowBoost, lowAtten, hbf, highBoost, bandwidth, haf, highAtten};
}

inline dsp::circuit::RealtimeEqp1aPassiveEq preparedEq(double rate, const dsp::PultecEqParameters& p = {})
{
    dsp::circuit::RealtimeEqp1aPassiveEq eq;
    eq.prepare(rate, p);
    return eq;
}

// The network's own gain (before the insertion-gain make-up) at `frequency`, in dB.
inline double networkDb(const dsp::circuit::RealtimeEqp1aPassiveEq& eq, double frequency)
{
    return 20.0 * std::log10(std::abs(dsp::circuit::frequencyResponse(eq.getCircuit(), frequency)));
}

inline std::string describe(const dsp::PultecEqParameters& p)
{
    return "lf" + std::to_string(static_cast<int>(p.lowFrequency)) + " lb" + std::to_string(p.lowBoost) +
           " la" + std::to_string(p.lowAtten) + " hbf" +
           std::to_string(static_cast<int>(p.highBoostFrequency)) + " hb" + std::to_string(p.highBoost) +
           " bw" + std::to_string(p.highBandwidth) + " haf" +
           std::to_string(static_cast<int>(p.highAttenFrequency)) + " ha" + std::to_string(p.highAtten);
}

} // namespace hesko::test

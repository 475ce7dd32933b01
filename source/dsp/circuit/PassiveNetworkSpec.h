// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/PultecEqParameters.h"

namespace hesko::dsp::circuit::eqp1a_model
{

// The fifteen component values of the passive network: ohms, farads and henries.
struct PassiveNetworkSpec
{
    double highBoostUpperResistance = 0.0;  // high-boost pot, input end to wiper
    double highBoostLowerResistance = 0.0;  // high-boost pot, wiper to junction
    double highBoostCapacitance = 0.0;      // series resonator
    double highBoostInductance = 0.0;       // series resonator
    double bandwidthResistance = 0.0;       // in series with the resonator: the peak's width
    double highAttenUpperResistance = 0.0;  // high-attenuation pot, junction to wiper
    double highAttenLowerResistance = 0.0;  // high-attenuation pot, wiper to return
    double highAttenCapacitance = 0.0;      //
    double highAttenSeriesResistance = 0.0; // in series with the high-attenuation capacitor
    double lowAttenResistance = 0.0;        // series path of the low attenuation
    double lowAttenCapacitance = 0.0;       // across the low-attenuation resistor
    double outputSeriesResistance = 0.0;    // low-attenuation section to output
    double outputShuntResistance = 0.0;     // output to return
    double lowBoostResistance = 0.0;        // return to ground
    double lowBoostCapacitance = 0.0;       // across the low-boost resistor
};

// Component values for a valid record at a sample rate of at least 8000 Hz. The reactive values are
// pre-warped so that the trapezoidal discretisation puts every switch frequency where it belongs
// (the high-boost resonance no higher than 0.45 fs).
PassiveNetworkSpec buildNetworkSpec(const PultecEqParameters& parameters, double sampleRate) noexcept;

// The analog frequency at which the bilinear discretisation at `sampleRate` shows the digital
// frequency min(frequency, 0.45 * sampleRate).
double warpFrequency(double frequency, double sampleRate) noexcept;

} // namespace hesko::dsp::circuit::eqp1a_model

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

namespace hesko::dsp::eqp1a_profile
{

// Default positions of the eleven panel controls. The processor passes these by reference when it
// creates the host parameters, and falls back to the choice defaults when a host index is out of range.
struct Controls
{
    static constexpr int lowFrequencyDefaultChoice = 2;       // 60 Hz
    static constexpr float amountMinimum = 0.0f;              // boosts and attenuations
    static constexpr int highBoostFrequencyDefaultChoice = 3; // 8 kHz
    static constexpr float bandwidthDefault = 5.0f;
    static constexpr int highAttenFrequencyDefaultChoice = 1; // 10 kHz
    static constexpr bool eqInDefault = true;
    static constexpr bool analogNoiseDefault = false;
    static constexpr float outputTrimDefaultDb = 0.0f;
};

} // namespace hesko::dsp::eqp1a_profile

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PassiveNetworkSpec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace hesko::dsp::circuit::eqp1a_model
{
namespace
{
constexpr double pi = std::numbers::pi;

struct LowBand
{
    double frequency;
    double boostCapacitance;
    double attenCapacitance; // the boost capacitor / 30, as written
};
constexpr std::array<LowBand, 4> lowBands{{
    {20.0, 2.2e-6, 7.333333333333334e-8},
    {30.0, 1.1e-6, 3.666666666666667e-8},
    {60.0, 5.6e-7, 1.866666666666667e-8},
    {100.0, 3.3e-7, 1.1000000000000001e-8},
}};

constexpr std::array<double, 7> highBoostResonances{3000.0,  4000.0,  5000.0, 8000.0,
                                                    10000.0, 12000.0, 16000.0};

struct HighAttenBand
{
    double frequency;
    double capacitance;
};
constexpr std::array<HighAttenBand, 3> highAttenBands{
    {{5000.0, 2.7e-7}, {10000.0, 1.35e-7}, {20000.0, 6.8e-8}}};

constexpr double highBoostPotOhms = 12000.0;
constexpr double highAttenPotOhms = 1000.0;
constexpr double resonatorImpedanceSquared = 1.2e7; // inductance / capacitance
constexpr double minimumResistance = 0.01;

// Dial position 0..10 to 0..1; the clamp in single precision, the division in double.
double normalised(float amount) noexcept
{
    return amount < 0.0f ? 0.0 : static_cast<double>(std::min(amount, 10.0f)) / 10.0;
}

template <typename Enum> std::size_t indexOf(Enum value) noexcept
{
    return static_cast<std::size_t>(value);
}
} // namespace

double warpFrequency(double frequency, double sampleRate) noexcept
{
    const double edge = 0.45 * sampleRate;
    return std::tan(pi * std::min(edge, frequency) / sampleRate) * sampleRate / pi;
}

PassiveNetworkSpec buildNetworkSpec(const PultecEqParameters& p, double fs) noexcept
{
    PassiveNetworkSpec spec;

    // The boost wiper never quite reaches the input end.
    const double h = 0.965 * normalised(p.highBoost);
    spec.highBoostUpperResistance = std::max(minimumResistance, highBoostPotOhms * (1.0 - h));
    spec.highBoostLowerResistance = std::max(minimumResistance, highBoostPotOhms * h);

    spec.bandwidthResistance = 390.0 + 3900.0 * normalised(p.highBandwidth);

    const double m = 0.945 * normalised(p.highAtten);
    spec.highAttenUpperResistance = std::max(minimumResistance, highAttenPotOhms * (1.0 - m));
    spec.highAttenLowerResistance = std::max(minimumResistance, highAttenPotOhms * m);

    // Audio-taper laws of the two low-band pots.
    const double b = normalised(p.lowBoost);
    const double boostOhms = ((0.65 * b + 0.35) * b) * (0.95 - 0.36 * b) * 8200.0;
    spec.lowBoostResistance = boostOhms < minimumResistance ? minimumResistance : boostOhms;

    const double a = normalised(p.lowAtten);
    const double attenOhms = ((0.65 * a + 0.35) * a) * (0.9433333333 - 0.2533333333 * a) * 110000.0;
    spec.lowAttenResistance = attenOhms < minimumResistance ? minimumResistance : attenOhms;

    const double w = 2.0 * pi * warpFrequency(highBoostResonances[indexOf(p.highBoostFrequency)], fs);
    spec.highBoostCapacitance = std::sqrt(1.0 / (w * resonatorImpedanceSquared * w));
    spec.highBoostInductance = spec.highBoostCapacitance * resonatorImpedanceSquared;

    // The numerators are the unclamped switch frequencies.
    const auto& low = lowBands[indexOf(p.lowFrequency)];
    const double lowScale = low.frequency / warpFrequency(low.frequency, fs);
    spec.lowBoostCapacitance = low.boostCapacitance * lowScale;
    spec.lowAttenCapacitance = low.attenCapacitance * lowScale;

    const auto& highAtten = highAttenBands[indexOf(p.highAttenFrequency)];
    spec.highAttenCapacitance =
        highAtten.capacitance * (highAtten.frequency / warpFrequency(highAtten.frequency, fs));

    spec.highAttenSeriesResistance = 91.0;
    spec.outputSeriesResistance = 1000.0;
    spec.outputShuntResistance = 10000.0;
    return spec;
}

} // namespace hesko::dsp::circuit::eqp1a_model

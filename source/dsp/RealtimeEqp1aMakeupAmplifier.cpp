// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "RealtimeEqp1aMakeupAmplifier.h"
#include "dsp/Realtime.h"

#include <algorithm>
#include <numbers>
#include <tuple>
#include <utility>

namespace hesko::dsp
{
namespace
{
using makeup_detail::LanePair;

double clamped(double value, double low, double high) noexcept
{
    // NaN falls to the lower bound, like every other out-of-range request.
    if (!(value >= low))
        return low;
    return value > high ? high : value;
}

double onePoleLowPass(double corner, double fs) noexcept
{
    return 1.0 - std::exp(-2.0 * std::numbers::pi * corner / fs);
}

// Field by field: both channels' values side by side in one register, and back.
template <template <typename> class Fields>
Fields<LanePair> gather(Fields<double> left, Fields<double> right) noexcept HESKO_NONBLOCKING
{
    Fields<LanePair> pair;
    [&]<std::size_t... i>(std::index_sequence<i...>)
    {
        ((std::get<i>(pair.fields()) = LanePair{std::get<i>(left.fields()), std::get<i>(right.fields())}),
         ...);
    }
    (std::make_index_sequence<std::tuple_size_v<decltype(pair.fields())>>());
    return pair;
}

template <template <typename> class Fields>
void scatter(Fields<LanePair> pair, Fields<double>& left, Fields<double>& right) noexcept HESKO_NONBLOCKING
{
    [&]<std::size_t... i>(std::index_sequence<i...>)
    {
        ((std::get<i>(left.fields()) = std::get<i>(pair.fields())[0],
          std::get<i>(right.fields()) = std::get<i>(pair.fields())[1]),
         ...);
    }
    (std::make_index_sequence<std::tuple_size_v<decltype(pair.fields())>>());
}
} // namespace

void RealtimeEqp1aMakeupAmplifier::prepare(double sampleRate) noexcept
{
    const double fs = sampleRate >= 1.0 ? sampleRate : 1.0;
    const double dt = 1.0 / fs;
    constexpr double twoHertz = 0.07957747154594767;  // 1 / (2 pi 2)
    constexpr double fiveHertz = 0.03183098861837907; // 1 / (2 pi 5)
    coefficients.inputHighPass = twoHertz / (twoHertz + dt);
    coefficients.inputLowPass = onePoleLowPass(110000.0, fs);
    coefficients.interstageHighPass = coefficients.inputHighPass;
    coefficients.interstageLowPass = onePoleLowPass(150000.0, fs);
    coefficients.saturationLowPass = onePoleLowPass(90.0, fs);
    coefficients.outputLowPass = onePoleLowPass(85000.0, fs);
    coefficients.outputHighPass = fiveHertz / (fiveHertz + dt);
    reset();
}

void RealtimeEqp1aMakeupAmplifier::reset() noexcept
{
    signal = {};
    noiseState = noiseSeed;
}

void RealtimeEqp1aMakeupAmplifier::setNoiseSeed(std::uint32_t seed) noexcept HESKO_NONBLOCKING
{
    // A xorshift state of 0 would stay 0 for ever.
    noiseSeed = seed == 0 ? defaultNoiseSeed : seed;
    noiseState = noiseSeed;
}

void RealtimeEqp1aMakeupAmplifier::setNoiseCalibrationGain(double gain) noexcept
{
    noiseCalibrationGain = clamped(gain, 0.0, 8.0);
}

void RealtimeEqp1aMakeupAmplifier::setInputSourceImpedance(double ohms) noexcept
{
    inputSourceImpedance = clamped(ohms, 1.0, 100000.0);
}

void RealtimeEqp1aMakeupAmplifier::setOutputLoadImpedance(double ohms) noexcept
{
    outputLoadImpedance = clamped(ohms, 75.0, 100000.0);
}

std::pair<double, double>
RealtimeEqp1aMakeupAmplifier::processStereoSample(RealtimeEqp1aMakeupAmplifier& left,
                                                  RealtimeEqp1aMakeupAmplifier& right, double l,
                                                  double r) noexcept HESKO_NONBLOCKING
{
    processStereoBlock(left, right, &l, &r, 1);
    return {l, r};
}

void RealtimeEqp1aMakeupAmplifier::processStereoBlock(RealtimeEqp1aMakeupAmplifier& left,
                                                      RealtimeEqp1aMakeupAmplifier& right,
                                                      double* leftSamples, double* rightSamples,
                                                      std::size_t count) noexcept HESKO_NONBLOCKING
{
    auto state = gather(left.signal, right.signal);
    const auto coefficients = gather(left.coefficients, right.coefficients);
    const LanePair source{left.sourceFactor(), right.sourceFactor()};
    const LanePair saturation{left.saturationAmount(), right.saturationAmount()};
    const LanePair load{left.loadGain(), right.loadGain()};
    for (std::size_t i = 0; i < count; ++i)
    {
        const LanePair noise{left.nextNoise(), right.nextNoise()};
        const LanePair x{leftSamples[i], rightSamples[i]};
        const LanePair z =
            makeup_detail::advance<LanePair>(state, coefficients, x, source, saturation, load, noise);
        leftSamples[i] = z[0];
        rightSamples[i] = z[1];
    }
    scatter(state, left.signal, right.signal);
}

} // namespace hesko::dsp

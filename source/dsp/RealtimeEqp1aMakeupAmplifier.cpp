// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "RealtimeEqp1aMakeupAmplifier.h"
#include "dsp/Realtime.h"

#include <algorithm>
#include <numbers>

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

template <typename V> V pairOf(double l, double r) noexcept HESKO_NONBLOCKING
{
    return V{l, r};
}

makeup_detail::SignalState<LanePair>
gather(const makeup_detail::SignalState<double>& l,
       const makeup_detail::SignalState<double>& r) noexcept HESKO_NONBLOCKING
{
    return {pairOf<LanePair>(l.inputPrevious, r.inputPrevious),
            pairOf<LanePair>(l.inputHighPass, r.inputHighPass),
            pairOf<LanePair>(l.inputLowPass, r.inputLowPass),
            pairOf<LanePair>(l.interstagePrevious, r.interstagePrevious),
            pairOf<LanePair>(l.interstageHighPass, r.interstageHighPass),
            pairOf<LanePair>(l.interstageLowPass, r.interstageLowPass),
            pairOf<LanePair>(l.saturationLowPass, r.saturationLowPass),
            pairOf<LanePair>(l.outputLowPass, r.outputLowPass),
            pairOf<LanePair>(l.outputPrevious, r.outputPrevious),
            pairOf<LanePair>(l.outputHighPass, r.outputHighPass)};
}

void scatter(const makeup_detail::SignalState<LanePair>& s, makeup_detail::SignalState<double>& l,
             makeup_detail::SignalState<double>& r) noexcept HESKO_NONBLOCKING
{
    const auto split = [](LanePair v, double& a, double& b)
    {
        a = v[0];
        b = v[1];
    };
    split(s.inputPrevious, l.inputPrevious, r.inputPrevious);
    split(s.inputHighPass, l.inputHighPass, r.inputHighPass);
    split(s.inputLowPass, l.inputLowPass, r.inputLowPass);
    split(s.interstagePrevious, l.interstagePrevious, r.interstagePrevious);
    split(s.interstageHighPass, l.interstageHighPass, r.interstageHighPass);
    split(s.interstageLowPass, l.interstageLowPass, r.interstageLowPass);
    split(s.saturationLowPass, l.saturationLowPass, r.saturationLowPass);
    split(s.outputLowPass, l.outputLowPass, r.outputLowPass);
    split(s.outputPrevious, l.outputPrevious, r.outputPrevious);
    split(s.outputHighPass, l.outputHighPass, r.outputHighPass);
}

makeup_detail::Coefficients<LanePair>
gather(const makeup_detail::Coefficients<double>& l,
       const makeup_detail::Coefficients<double>& r) noexcept HESKO_NONBLOCKING
{
    return {pairOf<LanePair>(l.inputHighPass, r.inputHighPass),
            pairOf<LanePair>(l.inputLowPass, r.inputLowPass),
            pairOf<LanePair>(l.interstageHighPass, r.interstageHighPass),
            pairOf<LanePair>(l.interstageLowPass, r.interstageLowPass),
            pairOf<LanePair>(l.saturationLowPass, r.saturationLowPass),
            pairOf<LanePair>(l.outputLowPass, r.outputLowPass),
            pairOf<LanePair>(l.outputHighPass, r.outputHighPass)};
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

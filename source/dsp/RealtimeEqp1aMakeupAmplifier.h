// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/Realtime.h"

#include <cmath>
#include <cstdint>
#include <tuple>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hesko::dsp
{

namespace makeup_detail
{
// Two channels side by side in one SIMD register.
using LanePair = double __attribute__((vector_size(16)));

inline double squareRoot(double x) noexcept HESKO_NONBLOCKING
{
    return std::sqrt(x);
}
inline LanePair squareRoot(LanePair x) noexcept HESKO_NONBLOCKING
{
#if defined(__SSE2__)
    // One packed square root; correctly rounded like the scalar one, so the lanes stay bit-exact.
    return static_cast<LanePair>(_mm_sqrt_pd(static_cast<__m128d>(x)));
#else
    return LanePair{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}
// max(x, floor) with std::max's rule, lane by lane: a NaN slope stays NaN in both forms.
inline double floored(double x, double floor) noexcept HESKO_NONBLOCKING
{
    return x < floor ? floor : x;
}
inline LanePair floored(LanePair x, double floor) noexcept HESKO_NONBLOCKING
{
    const LanePair f{floor, floor};
    return x < f ? f : x;
}

// The signal memories (fields 1 to 10 of the amplifier), per lane.
template <typename V> struct SignalState
{
    V inputPrevious{};
    V inputHighPass{};
    V inputLowPass{};
    V interstagePrevious{};
    V interstageHighPass{};
    V interstageLowPass{};
    V saturationLowPass{};
    V outputLowPass{};
    V outputPrevious{};
    V outputHighPass{};

    // Every field once, for code that treats the state as a whole (the two-lane path).
    auto fields() noexcept
    {
        return std::tie(inputPrevious, inputHighPass, inputLowPass, interstagePrevious, interstageHighPass,
                        interstageLowPass, saturationLowPass, outputLowPass, outputPrevious, outputHighPass);
    }
};

// The rate-dependent coefficients (fields 11 to 17), per lane; the defaults keep an unprepared
// amplifier finite and stable.
template <typename V> struct Coefficients
{
    V inputHighPass = V{} + 0.999;
    V inputLowPass = V{} + 0.5;
    V interstageHighPass = V{} + 0.999;
    V interstageLowPass = V{} + 0.5;
    V saturationLowPass = V{} + 0.01;
    V outputLowPass = V{} + 0.5;
    V outputHighPass = V{} + 0.999;

    auto fields() noexcept
    {
        return std::tie(inputHighPass, inputLowPass, interstageHighPass, interstageLowPass, saturationLowPass,
                        outputLowPass, outputHighPass);
    }
};

// One sample of the stage for one or two lanes. The same operations in the same order whatever V is,
// so the two-lane form matches two single-lane runs bit for bit.
template <typename V>
inline V advance(SignalState<V>& s, const Coefficients<V>& c, V x, V sourceFactor, V saturation, V loadGain,
                 V noise) noexcept HESKO_NONBLOCKING
{
    // Source divider and the two coupling high-passes with their bandwidth low-passes.
    const V u = x * sourceFactor;
    s.inputHighPass = c.inputHighPass * (s.inputHighPass + u - s.inputPrevious);
    s.inputPrevious = u;
    s.inputLowPass = s.inputLowPass + c.inputLowPass * (s.inputHighPass - s.inputLowPass);
    s.interstageHighPass =
        c.interstageHighPass * (s.interstageHighPass + s.inputLowPass - s.interstagePrevious);
    s.interstagePrevious = s.inputLowPass;
    s.interstageLowPass =
        s.interstageLowPass + c.interstageLowPass * (s.interstageHighPass - s.interstageLowPass);
    const V v = s.interstageLowPass;

    // The feedback loop is instantaneous: three Newton steps from y = v, no convergence test.
    const V t90 = s.saturationLowPass;
    const V t85 = s.outputLowPass;
    const V c90 = c.saturationLowPass;
    const V c85 = c.outputLowPass;
    V y = v;
    for (int step = 0; step < 3; ++step)
    {
        const V m = t90 + c90 * (y - t90);
        const V r = squareRoot(1.0 + saturation * m * m);
        const V t = m / r + (y - m);
        const V p = t85 + c85 * (t - t85);
        const V e = 8.0 * v - 7.0 * loadGain * p;
        const V q = squareRoot(1.0 + 0.048 * e * e);
        const V k = e / q;
        const V k2 = k * k;
        const V h = 0.4416 * k2 + 0.256 * (k2 * k2);
        const V f = 0.5 * (1.025 * (k + h) - 0.975 * (h - k));
        const V slopeF = 1.0 + 0.025 * (0.8832 * k + 1.024 * (k2 * k));
        const V d = floored(1.0 + 7.0 * slopeF * (1.0 / (q * q * q)) * (c90 / (r * r * r) + (1.0 - c90)) *
                                      c85 * loadGain,
                            0.25);
        y = y - (y - f) / d;
    }

    // Commit the saturation and bandwidth filters with the final y.
    s.saturationLowPass = t90 + c90 * (y - t90);
    const V t =
        s.saturationLowPass / squareRoot(1.0 + saturation * (s.saturationLowPass * s.saturationLowPass)) +
        (y - s.saturationLowPass);
    s.outputLowPass = t85 + c85 * (t - t85);

    // Loaded output plus noise, then the DC blocker.
    const V w = loadGain * s.outputLowPass + noise;
    s.outputHighPass = c.outputHighPass * (s.outputHighPass + w - s.outputPrevious);
    s.outputPrevious = w;
    return s.outputHighPass;
}
} // namespace makeup_detail

// The valve make-up stage after the passive network: coupling and bandwidth filters, a soft-limiting
// push-pull stage inside a negative-feedback loop, load-dependent low-frequency saturation, the source
// and load impedances, an output DC blocker and optional analog noise. Unity small-signal gain at
// mid-band with the default 600 ohm source and load.
//
// One channel per object; no allocation, locks, exceptions or data-dependent loops, and exponentials
// only in prepare. Used on the audio thread only (prepared on the control thread).
class RealtimeEqp1aMakeupAmplifier
{
public:
    static constexpr std::uint32_t defaultNoiseSeed = 0x6d2b79f5u;

    void prepare(double sampleRate) noexcept;
    void reset() noexcept;

    void setAnalogNoiseEnabled(bool enabled) noexcept HESKO_NONBLOCKING { analogNoiseEnabled = enabled; }
    bool isAnalogNoiseEnabled() const noexcept { return analogNoiseEnabled; }
    void setNoiseSeed(std::uint32_t seed) noexcept HESKO_NONBLOCKING;
    void setNoiseCalibrationGain(double gain) noexcept;
    void setInputSourceImpedance(double ohms) noexcept;
    double getInputSourceImpedance() const noexcept { return inputSourceImpedance; }
    void setOutputLoadImpedance(double ohms) noexcept;
    double getOutputLoadImpedance() const noexcept { return outputLoadImpedance; }

    double processSample(double input) noexcept HESKO_NONBLOCKING
    {
        const double noise = nextNoise();
        return makeup_detail::advance<double>(signal, coefficients, input, sourceFactor(), saturationAmount(),
                                              loadGain(), noise);
    }
    float processSample(float input) noexcept HESKO_NONBLOCKING
    {
        return static_cast<float>(processSample(static_cast<double>(input)));
    }

    // Runs a left and a right amplifier together, both lanes in one SIMD register; the results equal
    // left.processSample(l) and right.processSample(r) bit for bit.
    static std::pair<double, double> processStereoSample(RealtimeEqp1aMakeupAmplifier& left,
                                                         RealtimeEqp1aMakeupAmplifier& right, double l,
                                                         double r) noexcept HESKO_NONBLOCKING;

    // The same over whole blocks, in place: the channels' state rides in registers across the block.
    static void processStereoBlock(RealtimeEqp1aMakeupAmplifier& left, RealtimeEqp1aMakeupAmplifier& right,
                                   double* leftSamples, double* rightSamples,
                                   std::size_t count) noexcept HESKO_NONBLOCKING;

    std::uint32_t getNoiseSeed() const noexcept { return noiseSeed; }
    std::uint32_t getNoiseState() const noexcept { return noiseState; }
    double getNoiseCalibrationGain() const noexcept { return noiseCalibrationGain; }
    const makeup_detail::Coefficients<double>& getCoefficients() const noexcept { return coefficients; }

private:
    // 2 x 600 / (Zs + 600): exactly 1 for a 600 ohm source.
    double sourceFactor() const noexcept HESKO_NONBLOCKING
    {
        return 2.0 * 600.0 / (inputSourceImpedance + 600.0);
    }
    double saturationAmount() const noexcept HESKO_NONBLOCKING
    {
        return 0.025 * std::sqrt(600.0 / outputLoadImpedance);
    }
    // 50 ohm output impedance into the load, normalised to 600 ohm (13/12).
    double loadGain() const noexcept HESKO_NONBLOCKING
    {
        return (outputLoadImpedance / (outputLoadImpedance + 50.0)) * (13.0 / 12.0);
    }

    // xorshift32 (13, 17, 5); advances only while the noise is on.
    double nextNoise() noexcept HESKO_NONBLOCKING
    {
        if (!analogNoiseEnabled)
            return 0.0;
        noiseState ^= noiseState << 13;
        noiseState ^= noiseState >> 17;
        noiseState ^= noiseState << 5;
        return (2.0 * static_cast<double>(noiseState) / 4294967295.0 - 1.0) * 7.72e-6 * noiseCalibrationGain;
    }

    makeup_detail::SignalState<double> signal;
    makeup_detail::Coefficients<double> coefficients;
    double inputSourceImpedance = 600.0;
    double outputLoadImpedance = 600.0;
    double noiseCalibrationGain = 1.0;
    std::uint32_t noiseSeed = defaultNoiseSeed;
    std::uint32_t noiseState = defaultNoiseSeed;
    bool analogNoiseEnabled = false;
};

} // namespace hesko::dsp

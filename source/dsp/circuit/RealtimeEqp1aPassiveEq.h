// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/Realtime.h"

#include "RealtimeLinearCircuit.h"
#include "dsp/PultecEqParameters.h"

#include <utility>

namespace hesko::dsp::circuit
{

// The passive equalizer as one ready-to-run value: a parameter record and a rate become the compiled
// network, and every output sample is divided by the network's nominal insertion gain so that a flat
// setting comes out at very nearly unity.
//
// Building (prepare, setParameters, rebuildCircuit) throws the circuit's standard exceptions and
// restarts from rest; the automated EQ builds off the audio thread and cross-fades. Processing,
// reset and copyStateFrom never throw or allocate.
class RealtimeEqp1aPassiveEq
{
public:
    // The network's nominal gain (about -23.8 dB); a flat network is a hair below it.
    static constexpr double nominalInsertionGain = 0.0645652819565863;

    void prepare(double newSampleRate, const PultecEqParameters& newParameters);
    void setParameters(const PultecEqParameters& newParameters);
    void rebuildCircuit();

    void reset() noexcept HESKO_NONBLOCKING { circuit.reset(); }
    bool copyStateFrom(const RealtimeEqp1aPassiveEq& other) noexcept HESKO_NONBLOCKING
    {
        return circuit.copyStateFrom(other.circuit);
    }

    float processSample(float input) noexcept HESKO_NONBLOCKING
    {
        return static_cast<float>(circuit.processSample(static_cast<double>(input)) / insertionGain);
    }
    double processSample(double input) noexcept HESKO_NONBLOCKING
    {
        return circuit.processSample(input) / insertionGain;
    }
    std::pair<double, double> processStereoSample(float left, float right) noexcept HESKO_NONBLOCKING
    {
        return processStereoSample(static_cast<double>(left), static_cast<double>(right));
    }
    std::pair<double, double> processStereoSample(double left, double right) noexcept HESKO_NONBLOCKING
    {
        const auto [l, r] = circuit.processStereoSample(left, right);
        return {l / insertionGain, r / insertionGain};
    }

    double getSampleRate() const noexcept { return sampleRate; }
    const PultecEqParameters& getParameters() const noexcept { return parameters; }
    bool isPrepared() const noexcept { return prepared; }
    double getInsertionGain() const noexcept { return insertionGain; }
    const RealtimeLinearCircuit& getCircuit() const noexcept { return circuit; }

private:
    double sampleRate = 48000.0;
    PultecEqParameters parameters{};
    bool prepared = false;
    double insertionGain = 1.0;
    RealtimeLinearCircuit circuit;
};

} // namespace hesko::dsp::circuit

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "RealtimeEqp1aPassiveEq.h"

#include "Eqp1aTopology.h"
#include "PassiveNetworkSpec.h"

#include <stdexcept>

namespace hesko::dsp::circuit
{
namespace
{
void requireValid(const PultecEqParameters& parameters)
{
    if (!isValidParameters(parameters))
        throw std::invalid_argument("Passive EQ parameters are invalid");
}
} // namespace

void RealtimeEqp1aPassiveEq::prepare(double newSampleRate, const PultecEqParameters& newParameters)
{
    requireValid(newParameters);
    sampleRate = newSampleRate >= 8000.0 ? newSampleRate : 8000.0; // a NaN rate lands on the floor too
    parameters = newParameters;
    prepared = true;
    rebuildCircuit();
}

void RealtimeEqp1aPassiveEq::setParameters(const PultecEqParameters& newParameters)
{
    requireValid(newParameters);
    if (sameParameters(newParameters, parameters))
        return;
    parameters = newParameters;
    if (prepared)
        rebuildCircuit();
}

void RealtimeEqp1aPassiveEq::rebuildCircuit()
{
    constexpr int inputNode = 1;
    constexpr int outputNode = 2;
    circuit.clear();
    circuit.prepare(sampleRate);
    circuit.addNode();
    circuit.addNode();
    const auto spec = eqp1a_model::buildNetworkSpec(parameters, sampleRate);
    eqp1a_topology::addNetwork(circuit, inputNode, outputNode, spec);
    insertionGain = nominalInsertionGain;
    circuit.compile(inputNode, outputNode);
}

} // namespace hesko::dsp::circuit

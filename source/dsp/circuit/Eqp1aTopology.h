// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "PassiveNetworkSpec.h"
#include "RealtimeLinearCircuit.h"

namespace hesko::dsp::circuit::eqp1a_topology
{

// The passive network between `input` and `output`: eight internal nodes, then fifteen elements in a
// fixed order. The order numbers the five state variables (resonator C, resonator L, low-attenuation
// C, low-boost C, high-attenuation C), so every build of the network has the same state layout and a
// new build can take over a running one. The circuit's limits apply: a circuit without room for
// eight more nodes throws before any element is added.
template <typename Circuit>
void addNetwork(Circuit& circuit, int input, int output, const eqp1a_model::PassiveNetworkSpec& spec)
{
    const int boostWiper = circuit.addNode();
    const int resonatorMid = circuit.addNode();
    const int resonatorEnd = circuit.addNode();
    const int junction = circuit.addNode();
    const int lowAttenOut = circuit.addNode();
    const int returnNode = circuit.addNode();
    const int attenWiper = circuit.addNode();
    const int attenTap = circuit.addNode();
    constexpr int ground = 0;

    using T = ElementType;
    circuit.addElement(T::resistor, input, boostWiper, spec.highBoostUpperResistance);
    circuit.addElement(T::resistor, boostWiper, junction, spec.highBoostLowerResistance);
    circuit.addElement(T::capacitor, boostWiper, resonatorMid, spec.highBoostCapacitance);
    circuit.addElement(T::inductor, resonatorMid, resonatorEnd, spec.highBoostInductance);
    circuit.addElement(T::resistor, resonatorEnd, junction, spec.bandwidthResistance);
    circuit.addElement(T::resistor, junction, lowAttenOut, spec.lowAttenResistance);
    circuit.addElement(T::capacitor, junction, lowAttenOut, spec.lowAttenCapacitance);
    circuit.addElement(T::resistor, lowAttenOut, output, spec.outputSeriesResistance);
    circuit.addElement(T::resistor, output, returnNode, spec.outputShuntResistance);
    circuit.addElement(T::resistor, returnNode, ground, spec.lowBoostResistance);
    circuit.addElement(T::capacitor, returnNode, ground, spec.lowBoostCapacitance);
    circuit.addElement(T::resistor, junction, attenWiper, spec.highAttenUpperResistance);
    circuit.addElement(T::resistor, attenWiper, returnNode, spec.highAttenLowerResistance);
    circuit.addElement(T::capacitor, attenWiper, attenTap, spec.highAttenCapacitance);
    circuit.addElement(T::resistor, attenTap, returnNode, spec.highAttenSeriesResistance);
}

} // namespace hesko::dsp::circuit::eqp1a_topology

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/circuit/Eqp1aTopology.h"
#include "PassiveEqFixtures.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace
{
using namespace hesko::dsp;
using namespace hesko::dsp::circuit;
using eqp1a_model::PassiveNetworkSpec;

TEST(Eqp1aTopology, WiresTheFifteenElementsInOrder)
{
    const auto p = hesko::test::record(LowFrequency::hz30, 3, 4, HighBoostFrequency::khz5, 6, 7,
                                       HighAttenFrequency::khz5, 8);
    const auto eq = hesko::test::preparedEq(48000.0, p);
    const auto spec = eqp1a_model::buildNetworkSpec(p, 48000.0);
    const auto& c = eq.getCircuit();

    // Input 1, output 2, then boostWiper 3, resonatorMid 4, resonatorEnd 5, junction 6,
    // lowAttenOut 7, returnNode 8, attenWiper 9, attenTap 10.
    using T = ElementType;
    const struct
    {
        T type;
        int a;
        int b;
        double PassiveNetworkSpec::*value;
    } expected[] = {
        {T::resistor, 1, 3, &PassiveNetworkSpec::highBoostUpperResistance},
        {T::resistor, 3, 6, &PassiveNetworkSpec::highBoostLowerResistance},
        {T::capacitor, 3, 4, &PassiveNetworkSpec::highBoostCapacitance},
        {T::inductor, 4, 5, &PassiveNetworkSpec::highBoostInductance},
        {T::resistor, 5, 6, &PassiveNetworkSpec::bandwidthResistance},
        {T::resistor, 6, 7, &PassiveNetworkSpec::lowAttenResistance},
        {T::capacitor, 6, 7, &PassiveNetworkSpec::lowAttenCapacitance},
        {T::resistor, 7, 2, &PassiveNetworkSpec::outputSeriesResistance},
        {T::resistor, 2, 8, &PassiveNetworkSpec::outputShuntResistance},
        {T::resistor, 8, 0, &PassiveNetworkSpec::lowBoostResistance},
        {T::capacitor, 8, 0, &PassiveNetworkSpec::lowBoostCapacitance},
        {T::resistor, 6, 9, &PassiveNetworkSpec::highAttenUpperResistance},
        {T::resistor, 9, 8, &PassiveNetworkSpec::highAttenLowerResistance},
        {T::capacitor, 9, 10, &PassiveNetworkSpec::highAttenCapacitance},
        {T::resistor, 10, 8, &PassiveNetworkSpec::highAttenSeriesResistance},
    };
    ASSERT_EQ(c.getElementCount(), 15u);
    for (std::size_t i = 0; i < 15; ++i)
    {
        SCOPED_TRACE("element " + std::to_string(i + 1));
        const auto& e = c.getElement(i);
        EXPECT_EQ(e.type, expected[i].type);
        EXPECT_EQ(e.nodeA, expected[i].a);
        EXPECT_EQ(e.nodeB, expected[i].b);
        EXPECT_EQ(e.value, spec.*expected[i].value);
    }
}

TEST(Eqp1aTopology, CompilesToNineUnknownsAndFiveStatesInElementOrder)
{
    const auto eq = hesko::test::preparedEq(48000.0);
    const auto& c = eq.getCircuit();
    EXPECT_EQ(c.getNodeCount(), 11);
    EXPECT_EQ(c.getUnknownCount(), 9u);
    for (int node = 2; node <= 10; ++node)
        EXPECT_EQ(c.getUnknownIndexOfNode(node), node - 2);
    ASSERT_EQ(c.getReactiveCount(), 5u);
    // Resonator C, resonator L, low-attenuation C, low-boost C, high-attenuation C.
    const std::size_t states[] = {2, 3, 6, 10, 13};
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_EQ(c.getReactiveElement(k), states[k]);
}

TEST(Eqp1aTopology, RespectsTheCircuitsNodeLimit)
{
    const auto spec = eqp1a_model::buildNetworkSpec(PultecEqParameters{}, 48000.0);

    RealtimeLinearCircuit fits;
    while (fits.getNodeCount() < 12)
        fits.addNode();
    eqp1a_topology::addNetwork(fits, 1, 2, spec);
    EXPECT_EQ(fits.getNodeCount(), 20);
    EXPECT_EQ(fits.getElementCount(), 15u);

    RealtimeLinearCircuit full;
    while (full.getNodeCount() < 13)
        full.addNode();
    EXPECT_THROW(eqp1a_topology::addNetwork(full, 1, 2, spec), std::length_error);
    EXPECT_EQ(full.getNodeCount(), 20) << "the seven nodes that fit stay";
    EXPECT_EQ(full.getElementCount(), 0u) << "no element before the nodes are all there";
}

// The template needs nothing of a circuit but addNode and addElement.
struct RecordingCircuit
{
    int nodes = 1;
    std::vector<std::tuple<ElementType, int, int, double>> elements;
    int addNode() { return nodes++; }
    void addElement(ElementType type, int a, int b, double value)
    {
        elements.emplace_back(type, a, b, value);
    }
};

TEST(Eqp1aTopology, WorksOnAnyCircuitWithAddNodeAndAddElement)
{
    RecordingCircuit recorder;
    recorder.nodes = 5;
    eqp1a_topology::addNetwork(recorder, 2, 4, eqp1a_model::buildNetworkSpec(PultecEqParameters{}, 44100.0));
    EXPECT_EQ(recorder.nodes, 13);
    ASSERT_EQ(recorder.elements.size(), 15u);
    EXPECT_EQ(std::get<1>(recorder.elements.front()), 2); // from the input
    EXPECT_EQ(std::get<2>(recorder.elements.front()), 5); // to the first new node
    EXPECT_EQ(std::get<1>(recorder.elements[8]), 4);      // the output's shunt
}
} // namespace

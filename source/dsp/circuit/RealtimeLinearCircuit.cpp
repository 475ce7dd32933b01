// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "RealtimeLinearCircuit.h"
#include "dsp/Realtime.h"

#include <bit>
#include <cmath>
#include <stdexcept>

namespace hesko::dsp::circuit
{
namespace
{
// Absolute, in siemens: a pivot this small means a group of nodes floats (or nearly does).
constexpr double singularPivotThreshold = 1e-18;
constexpr double minimumSampleRate = 8000.0;
} // namespace

void RealtimeLinearCircuit::clear() noexcept
{
    nodeCount = 1;
    elementCount = 0;
    compiled = false;
}

void RealtimeLinearCircuit::prepare(double newSampleRate) noexcept
{
    // Written so that a NaN rate also lands on the floor.
    sampleRate = newSampleRate >= minimumSampleRate ? newSampleRate : minimumSampleRate;
    compiled = false;
    reset();
}

int RealtimeLinearCircuit::addNode()
{
    if (nodeCount >= maxNodes)
        throw std::length_error("Realtime circuit has too many nodes");
    compiled = false;
    return nodeCount++;
}

void RealtimeLinearCircuit::addElement(ElementType type, int nodeA, int nodeB, double value)
{
    if (!(std::isfinite(value) && value > 0.0))
        throw std::invalid_argument("Circuit element value must be finite and positive");
    if (nodeA < 0 || nodeA >= nodeCount || nodeB < 0 || nodeB >= nodeCount)
        throw std::out_of_range("Circuit element references an invalid node");
    if (elementCount >= maxElements)
        throw std::length_error("Realtime circuit has too many elements");

    elements[elementCount++] = Element{type, nodeA, nodeB, value, 0.0, 0.0};
    compiled = false;
}

double RealtimeLinearCircuit::conductanceFor(const Element& element) const noexcept
{
    switch (element.type)
    {
    case ElementType::resistor:
        return 1.0 / element.value;
    case ElementType::capacitor:
        return 2.0 * element.value * sampleRate;
    case ElementType::inductor:
        return 1.0 / (2.0 * element.value * sampleRate);
    }
    return 0.0;
}

void RealtimeLinearCircuit::compile(int newInputNode, int newOutputNode)
{
    const auto inside = [this](int node) { return node >= 1 && node < nodeCount; };
    if (!inside(newInputNode) || !inside(newOutputNode))
        throw std::out_of_range("Realtime circuit input or output node is invalid");

    inputNode = newInputNode;
    outputNode = newOutputNode;
    std::array<bool, maxNodes> known{};
    known[at(inputNode)] = true;
    compileForKnownNodes(known);
    compileStateSpace();
}

void RealtimeLinearCircuit::compileForKnownNodes(const std::array<bool, maxNodes>& known)
{
    // A compile that fails part-way must never be processed.
    compiled = false;

    unknownCount = 0;
    unknownIndexOfNode.fill(-1);
    for (auto& row : factors)
        row.fill(0.0);

    std::array<bool, maxNodes> touched{};
    for (std::size_t e = 0; e < elementCount; ++e)
    {
        auto& element = elements[e];
        element.conductance = conductanceFor(element);
        if (element.nodeA != 0)
            touched[at(element.nodeA)] = true;
        if (element.nodeB != 0)
            touched[at(element.nodeB)] = true;
    }

    for (int k = 1; k < nodeCount; ++k)
    {
        if (touched[at(k)] && !known[at(k)])
        {
            unknownIndexOfNode[at(k)] = static_cast<int>(unknownCount);
            unknownNodes[unknownCount] = k;
            ++unknownCount;
        }
    }

    // Nodal stamps. An element from an unknown to a known node (or ground) adds only to the diagonal;
    // its coupling to the known voltage enters the right-hand side at solve time.
    for (std::size_t e = 0; e < elementCount; ++e)
    {
        const auto& element = elements[e];
        const double g = element.conductance;
        const int i = unknownIndexOfNode[at(element.nodeA)];
        const int j = unknownIndexOfNode[at(element.nodeB)];
        if (i >= 0)
        {
            factors[at(i)][at(i)] += g;
            if (j >= 0)
            {
                factors[at(i)][at(j)] -= g;
                factors[at(j)][at(j)] += g;
                factors[at(j)][at(i)] -= g;
            }
        }
        else if (j >= 0)
        {
            factors[at(j)][at(j)] += g;
        }
    }

    factorise();
    compiled = true;
}

void RealtimeLinearCircuit::factorise()
{
    const std::size_t n = unknownCount;
    for (std::size_t m = 0; m < n; ++m)
    {
        // Partial pivoting; ties keep the earliest row.
        std::size_t pivot = m;
        double largest = std::abs(factors[m][m]);
        for (std::size_t r = m + 1; r < n; ++r)
        {
            const double magnitude = std::abs(factors[r][m]);
            if (magnitude > largest)
            {
                largest = magnitude;
                pivot = r;
            }
        }
        if (!(largest >= singularPivotThreshold))
            throw std::runtime_error("Realtime circuit matrix is singular");

        pivotRows[m] = static_cast<int>(pivot);
        if (pivot != m)
            for (std::size_t c = 0; c < n; ++c)
                std::swap(factors[m][c], factors[pivot][c]);

        for (std::size_t r = m + 1; r < n; ++r)
        {
            factors[r][m] /= factors[m][m];
            const double multiplier = factors[r][m];
            for (std::size_t c = m + 1; c < n; ++c)
                factors[r][c] -= multiplier * factors[m][c];
        }
    }
}

void RealtimeLinearCircuit::compileStateSpace()
{
    reactiveCount = 0;
    for (auto& row : stateMatrix)
        row.fill(0.0);
    inputVector.fill(0.0);
    outputVector.fill(0.0);

    for (std::size_t e = 0; e < elementCount; ++e)
    {
        if (elements[e].type == ElementType::resistor)
            continue;
        if (reactiveCount == maxStates)
        {
            compiled = false;
            throw std::length_error("Realtime circuit has too many reactive states");
        }
        reactiveElements[reactiveCount++] = e;
    }

    // The companion circuit is linear in the input and the history currents, so unit excitations
    // measure the state-space terms exactly: first the input alone, then each state alone.
    reset();
    directGain = processFactorizedSample(1.0);
    for (std::size_t k = 0; k < reactiveCount; ++k)
        inputVector[k] = elements[reactiveElements[k]].historyCurrent;

    for (std::size_t s = 0; s < reactiveCount; ++s)
    {
        reset();
        elements[reactiveElements[s]].historyCurrent = 1.0;
        outputVector[s] = processFactorizedSample(0.0);
        for (std::size_t k = 0; k < reactiveCount; ++k)
            stateMatrix[k][s] = elements[reactiveElements[k]].historyCurrent;
    }

    reset();
}

double RealtimeLinearCircuit::processFactorizedSample(double input) noexcept
{
    if (!isReady())
        return 0.0;

    nodeVoltages.fill(0.0);
    nodeVoltages[at(inputNode)] = input;
    assembleRightHandSide();
    solveFactorizedSystem();
    updateReactiveHistory();
    return nodeVoltages[at(outputNode)];
}

void RealtimeLinearCircuit::assembleRightHandSide() noexcept
{
    for (std::size_t k = 0; k < unknownCount; ++k)
        rightHandSide[k] = 0.0;

    for (std::size_t e = 0; e < elementCount; ++e)
    {
        const auto& element = elements[e];
        const double g = element.conductance;
        const double history = element.historyCurrent;
        const int i = unknownIndexOfNode[at(element.nodeA)];
        const int j = unknownIndexOfNode[at(element.nodeB)];
        if (i >= 0)
        {
            if (element.nodeB != 0 && j < 0)
                rightHandSide[at(i)] += g * nodeVoltages[at(element.nodeB)];
            rightHandSide[at(i)] -= history;
        }
        if (j >= 0)
        {
            if (element.nodeA != 0 && i < 0)
                rightHandSide[at(j)] += g * nodeVoltages[at(element.nodeA)];
            rightHandSide[at(j)] += history;
        }
    }
}

void RealtimeLinearCircuit::solveFactorizedSystem() noexcept
{
    const std::size_t n = unknownCount;
    for (std::size_t k = 0; k < n; ++k)
        solution[k] = rightHandSide[k];
    for (std::size_t k = 0; k < n; ++k)
        if (at(pivotRows[k]) != k)
            std::swap(solution[k], solution[at(pivotRows[k])]);

    for (std::size_t r = 1; r < n; ++r)
        for (std::size_t c = 0; c < r; ++c)
            solution[r] -= factors[r][c] * solution[c];

    for (std::size_t r = n; r-- > 0;)
    {
        for (std::size_t c = r + 1; c < n; ++c)
            solution[r] -= factors[r][c] * solution[c];
        solution[r] /= factors[r][r];
    }

    for (std::size_t k = 0; k < n; ++k)
        nodeVoltages[at(unknownNodes[k])] = solution[k];
}

void RealtimeLinearCircuit::updateReactiveHistory() noexcept
{
    for (std::size_t e = 0; e < elementCount; ++e)
    {
        auto& element = elements[e];
        if (element.type == ElementType::resistor)
            continue;
        const double v = nodeVoltages[at(element.nodeA)] - nodeVoltages[at(element.nodeB)];
        const double g = element.conductance;
        const double history = element.historyCurrent;
        // Trapezoidal history: capacitor -(2gv + J), inductor 2gv + J.
        if (element.type == ElementType::capacitor)
            element.historyCurrent = (-g * v) - (history + g * v);
        else
            element.historyCurrent = g * v + (history + g * v);
    }
}

void RealtimeLinearCircuit::reset() noexcept HESKO_NONBLOCKING
{
    for (std::size_t e = 0; e < elementCount; ++e)
        elements[e].historyCurrent = 0.0;
    rightHandSide.fill(0.0);
    solution.fill(0.0);
    nodeVoltages.fill(0.0);
    for (auto& pair : laneStates)
        pair.fill(0.0);
    for (auto& pair : nextLaneStates)
        pair.fill(0.0);
}

bool RealtimeLinearCircuit::hasCompatibleStateLayout(const RealtimeLinearCircuit& other) const noexcept
    HESKO_NONBLOCKING
{
    if (!compiled || !other.compiled)
        return false;
    if (std::bit_cast<std::uint64_t>(sampleRate) != std::bit_cast<std::uint64_t>(other.sampleRate))
        return false;
    if (nodeCount != other.nodeCount || elementCount != other.elementCount ||
        reactiveCount != other.reactiveCount || inputNode != other.inputNode ||
        outputNode != other.outputNode)
        return false;
    for (std::size_t e = 0; e < elementCount; ++e)
    {
        const auto& a = elements[e];
        const auto& b = other.elements[e];
        if (a.type != b.type || a.nodeA != b.nodeA || a.nodeB != b.nodeB)
            return false;
    }
    return true;
}

bool RealtimeLinearCircuit::copyStateFrom(const RealtimeLinearCircuit& other) noexcept HESKO_NONBLOCKING
{
    if (!hasCompatibleStateLayout(other))
    {
        reset();
        return false;
    }
    laneStates = other.laneStates;
    nextLaneStates = other.nextLaneStates;
    return true;
}

} // namespace hesko::dsp::circuit

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/Realtime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace hesko::dsp::circuit
{

enum class ElementType : std::int32_t
{
    resistor = 0,
    capacitor = 1,
    inductor = 2,
};

// One two-terminal element. Current and voltage are positive from nodeA to nodeB; the current is
// conductance * (V[nodeA] - V[nodeB]) + historyCurrent once compiled.
struct Element
{
    ElementType type = ElementType::resistor;
    int nodeA = 0;
    int nodeB = 0;
    double value = 0.0;          // ohms, farads or henries
    double conductance = 0.0;    // siemens, the trapezoidal companion conductance
    double historyCurrent = 0.0; // amperes, the companion current source (always 0 for a resistor)
};

// A linear R/L/C network driven by one ideal voltage source, simulated sample by sample.
//
// Compilation replaces every capacitor and inductor by its trapezoidal companion model, factorises the
// nodal matrix once and measures from that factorised solver an equivalent discrete state-space system
// whose states are the companion history currents. The audio thread then runs only the state-space
// step on one or two lanes.
//
// A plain value type with fixed capacities: nothing allocates, locks or is virtual, so a compiled
// circuit can be copied to the audio thread whole. Editing and compiling throw standard exceptions;
// the per-sample paths never throw.
class RealtimeLinearCircuit
{
public:
    static constexpr int maxNodes = 20; // ground node 0 included
    static constexpr std::size_t maxElements = 40;
    static constexpr std::size_t maxStates = 16;
    static constexpr std::size_t laneCount = 2;

    // --- netlist ---------------------------------------------------------------------------------
    void clear() noexcept;
    void prepare(double newSampleRate) noexcept;
    int addNode();
    void addElement(ElementType type, int nodeA, int nodeB, double value);
    void addResistor(int nodeA, int nodeB, double ohms)
    {
        addElement(ElementType::resistor, nodeA, nodeB, ohms);
    }
    void addCapacitor(int nodeA, int nodeB, double farads)
    {
        addElement(ElementType::capacitor, nodeA, nodeB, farads);
    }
    void addInductor(int nodeA, int nodeB, double henries)
    {
        addElement(ElementType::inductor, nodeA, nodeB, henries);
    }

    // --- compilation -----------------------------------------------------------------------------
    void compile(int newInputNode, int newOutputNode);
    void compileForKnownNodes(const std::array<bool, maxNodes>& known);
    void compileStateSpace();
    double conductanceFor(const Element& element) const noexcept;

    // --- the factorised solver (used to compile; the audio path runs the state-space step) ---------
    double processFactorizedSample(double input) noexcept;
    void assembleRightHandSide() noexcept;
    void solveFactorizedSystem() noexcept;
    void updateReactiveHistory() noexcept;

    // --- running state ---------------------------------------------------------------------------
    void reset() noexcept HESKO_NONBLOCKING;
    bool hasCompatibleStateLayout(const RealtimeLinearCircuit& other) const noexcept HESKO_NONBLOCKING;
    // Audio thread: continues the other circuit's sound when the topology matches, else rests.
    bool copyStateFrom(const RealtimeLinearCircuit& other) noexcept HESKO_NONBLOCKING;

    // --- per-sample state-space step (audio thread) ----------------------------------------------
    double processSample(double input) noexcept HESKO_NONBLOCKING { return evaluateStateSpaceLane(input, 0); }
    std::pair<double, double> processStereoSample(double left, double right) noexcept HESKO_NONBLOCKING;
    double evaluateStateSpaceLane(double input, std::size_t lane) noexcept HESKO_NONBLOCKING;

    // --- read-only views -------------------------------------------------------------------------
    double getSampleRate() const noexcept { return sampleRate; }
    int getNodeCount() const noexcept { return nodeCount; }
    std::size_t getElementCount() const noexcept { return elementCount; }
    const Element& getElement(std::size_t index) const noexcept { return elements[index]; }
    bool isCompiled() const noexcept { return compiled; }
    int getInputNode() const noexcept { return inputNode; }
    int getOutputNode() const noexcept { return outputNode; }
    std::size_t getUnknownCount() const noexcept { return unknownCount; }
    int getUnknownIndexOfNode(int node) const noexcept
    {
        return unknownIndexOfNode[static_cast<std::size_t>(node)];
    }
    double getNodeVoltage(int node) const noexcept { return nodeVoltages[static_cast<std::size_t>(node)]; }
    std::size_t getReactiveCount() const noexcept { return reactiveCount; }
    std::size_t getReactiveElement(std::size_t state) const noexcept { return reactiveElements[state]; }
    double getStateMatrix(std::size_t row, std::size_t column) const noexcept
    {
        return stateMatrix[row][column];
    }
    double getInputVector(std::size_t state) const noexcept { return inputVector[state]; }
    double getOutputVector(std::size_t state) const noexcept { return outputVector[state]; }
    double getDirectGain() const noexcept { return directGain; }
    double getLaneState(std::size_t state, std::size_t lane) const noexcept
    {
        return laneStates[state][lane];
    }

private:
    bool isReady() const noexcept HESKO_NONBLOCKING { return compiled && inputNode != 0 && outputNode != 0; }
    void factorise();
    static std::size_t at(int node) noexcept { return static_cast<std::size_t>(node); }

    double sampleRate = 48000.0;
    int nodeCount = 1;
    std::size_t elementCount = 0;
    std::array<Element, maxElements> elements{};
    bool compiled = false;
    int inputNode = 0;
    int outputNode = 0;
    std::size_t unknownCount = 0;
    std::array<int, maxNodes> unknownNodes{};
    std::array<int, maxNodes> unknownIndexOfNode{};
    std::array<int, maxNodes> pivotRows{};
    std::array<std::array<double, maxNodes>, maxNodes> factors{};
    std::array<double, maxNodes> rightHandSide{};
    std::array<double, maxNodes> solution{};
    std::array<double, maxNodes> nodeVoltages{};
    std::size_t reactiveCount = 0;
    std::array<std::size_t, maxStates> reactiveElements{};
    std::array<std::array<double, maxStates>, maxStates> stateMatrix{};
    std::array<double, maxStates> inputVector{};
    std::array<double, maxStates> outputVector{};
    double directGain = 0.0;
    // State-major, so the two lanes of one state sit side by side in one 16-byte register.
    alignas(16) std::array<std::array<double, laneCount>, maxStates> laneStates{};
    alignas(16) std::array<std::array<double, laneCount>, maxStates> nextLaneStates{};
};

// The state-space step lives here so that callers in other translation units inline it: it is the
// inner loop of the whole plug-in. Each state count gets its own fully unrolled kernel (the switch
// on the count is one well-predicted jump per sample); all kernels perform the same operations in
// the same order, so results do not depend on which one runs.

namespace state_space_detail
{
using LanePair = double __attribute__((vector_size(16)));

template <std::size_t N, typename Matrix, typename Vector, typename Lanes>
inline double monoStep(const Matrix& a, const Vector& b, const Vector& c, double d, Lanes& states,
                       Lanes& next, double u, std::size_t lane) noexcept HESKO_NONBLOCKING
{
    double y = d * u;
    for (std::size_t i = 0; i < N; ++i)
        y += c[i] * states[i][lane];
    for (std::size_t i = 0; i < N; ++i)
    {
        double acc = b[i] * u;
        for (std::size_t j = 0; j < N; ++j)
            acc += a[i][j] * states[j][lane];
        next[i][lane] = acc;
    }
    for (std::size_t i = 0; i < N; ++i)
        states[i][lane] = next[i][lane];
    return y;
}

template <typename Pair> inline LanePair load(const Pair& pair) noexcept HESKO_NONBLOCKING
{
    LanePair value;
    std::memcpy(&value, pair.data(), sizeof value);
    return value;
}

template <typename Pair> inline void store(Pair& pair, LanePair value) noexcept HESKO_NONBLOCKING
{
    std::memcpy(pair.data(), &value, sizeof value);
}

// Both lanes in one register: every coefficient is loaded once and applied to both lanes.
template <std::size_t N, typename Matrix, typename Vector, typename Lanes>
inline LanePair stereoStep(const Matrix& a, const Vector& b, const Vector& c, double d, Lanes& states,
                           Lanes& next, LanePair u) noexcept HESKO_NONBLOCKING
{
    LanePair s[N > 0 ? N : 1];
    for (std::size_t i = 0; i < N; ++i)
        s[i] = load(states[i]);
    LanePair y = d * u;
    for (std::size_t i = 0; i < N; ++i)
        y += c[i] * s[i];
    for (std::size_t i = 0; i < N; ++i)
    {
        LanePair acc = b[i] * u;
        for (std::size_t j = 0; j < N; ++j)
            acc += a[i][j] * s[j];
        store(next[i], acc);
    }
    for (std::size_t i = 0; i < N; ++i)
        states[i] = next[i];
    return y;
}
} // namespace state_space_detail

#define HESKO_STATE_COUNT_CASES(X)                                                                           \
    X(0) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11) X(12) X(13) X(14) X(15) X(16)

inline double RealtimeLinearCircuit::evaluateStateSpaceLane(double input,
                                                            std::size_t lane) noexcept HESKO_NONBLOCKING
{
    if (!isReady())
        return 0.0;
    switch (reactiveCount)
    {
#define HESKO_MONO_CASE(n)                                                                                   \
    case n:                                                                                                  \
        return state_space_detail::monoStep<n>(stateMatrix, inputVector, outputVector, directGain,           \
                                               laneStates, nextLaneStates, input, lane);
        HESKO_STATE_COUNT_CASES(HESKO_MONO_CASE)
#undef HESKO_MONO_CASE
    default:
        return 0.0;
    }
}

inline std::pair<double, double>
RealtimeLinearCircuit::processStereoSample(double left, double right) noexcept HESKO_NONBLOCKING
{
    if (!isReady())
        return {0.0, 0.0};
    const state_space_detail::LanePair u{left, right};
    state_space_detail::LanePair y{};
    switch (reactiveCount)
    {
#define HESKO_STEREO_CASE(n)                                                                                 \
    case n:                                                                                                  \
        y = state_space_detail::stereoStep<n>(stateMatrix, inputVector, outputVector, directGain,            \
                                              laneStates, nextLaneStates, u);                                \
        break;
        HESKO_STATE_COUNT_CASES(HESKO_STEREO_CASE)
#undef HESKO_STEREO_CASE
    default:
        break;
    }
    const double leftOut = y[0];
    const double rightOut = y[1];
    return {leftOut, rightOut};
}

#undef HESKO_STATE_COUNT_CASES

} // namespace hesko::dsp::circuit

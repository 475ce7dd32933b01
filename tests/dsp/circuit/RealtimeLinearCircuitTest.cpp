// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/circuit/RealtimeLinearCircuit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
using hesko::dsp::circuit::ElementType;
using hesko::dsp::circuit::RealtimeLinearCircuit;
using Circuit = RealtimeLinearCircuit;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

Circuit withNodes(int count)
{
    Circuit c;
    for (int i = 0; i < count; ++i)
        c.addNode();
    return c;
}

// 1000 ohm from input 1 to output 2, 1000 ohm from 2 to ground.
Circuit divider()
{
    auto c = withNodes(2);
    c.addResistor(1, 2, 1000.0);
    c.addResistor(2, 0, 1000.0);
    c.compile(1, 2);
    return c;
}

// 1000 ohm from input 1 to output 2, 1 uF from 2 to ground.
Circuit rcLowPass(double rate = 48000.0)
{
    auto c = withNodes(2);
    c.prepare(rate);
    c.addResistor(1, 2, 1000.0);
    c.addCapacitor(2, 0, 1e-6);
    c.compile(1, 2);
    return c;
}

// ---------------------------------------------------------------------------------------------------
// Failures: type, message, precedence and what a failed call leaves alone.

enum class Thrown
{
    invalidArgument,
    outOfRange,
    lengthError,
    runtimeError
};

struct FailureCase
{
    const char* name;
    std::function<Circuit()> setup;
    std::function<void(Circuit&)> action;
    Thrown type;
    const char* message;
    // Checked on the circuit after the throw, against a copy taken before it.
    std::function<void(const Circuit& before, const Circuit& after)> unchanged;
};

void sameNetlist(const Circuit& before, const Circuit& after)
{
    EXPECT_EQ(after.getNodeCount(), before.getNodeCount());
    EXPECT_EQ(after.getElementCount(), before.getElementCount());
    EXPECT_EQ(after.isCompiled(), before.isCompiled());
    EXPECT_EQ(after.getInputNode(), before.getInputNode());
    EXPECT_EQ(after.getOutputNode(), before.getOutputNode());
    for (std::size_t e = 0; e < before.getElementCount(); ++e)
        EXPECT_EQ(after.getElement(e).value, before.getElement(e).value);
}

Circuit fortyElements()
{
    auto c = withNodes(2);
    for (int i = 0; i < 40; ++i)
        c.addResistor(1, 2, 100.0 + i);
    return c;
}

Circuit reactiveLadder(int capacitors)
{
    auto c = withNodes(2);
    c.addResistor(1, 2, 1000.0);
    for (int i = 0; i < capacitors; ++i)
        c.addCapacitor(2, 0, 1e-9 * (i + 1));
    return c;
}

std::vector<FailureCase> failureCases()
{
    const auto none = [](const Circuit&, const Circuit&) {};
    return {
        {"20th node", [] { return withNodes(19); }, [](Circuit& c) { c.addNode(); }, Thrown::lengthError,
         "Realtime circuit has too many nodes", sameNetlist},
        {"zero value", [] { return withNodes(2); }, [](Circuit& c) { c.addResistor(1, 2, 0.0); },
         Thrown::invalidArgument, "Circuit element value must be finite and positive", sameNetlist},
        {"negative value", [] { return withNodes(2); }, [](Circuit& c) { c.addCapacitor(1, 2, -1e-6); },
         Thrown::invalidArgument, "Circuit element value must be finite and positive", sameNetlist},
        {"infinite value", [] { return withNodes(2); }, [](Circuit& c) { c.addInductor(1, 2, inf); },
         Thrown::invalidArgument, "Circuit element value must be finite and positive", sameNetlist},
        {"NaN value", [] { return withNodes(2); }, [](Circuit& c) { c.addResistor(1, 2, nan); },
         Thrown::invalidArgument, "Circuit element value must be finite and positive", sameNetlist},
        {"value is tested before node", [] { return withNodes(2); },
         [](Circuit& c) { c.addResistor(99, 1, -1.0); }, Thrown::invalidArgument,
         "Circuit element value must be finite and positive", sameNetlist},
        {"value is tested before count", fortyElements, [](Circuit& c) { c.addResistor(99, 1, 0.0); },
         Thrown::invalidArgument, "Circuit element value must be finite and positive", sameNetlist},
        {"node past the last", [] { return withNodes(2); }, [](Circuit& c) { c.addResistor(1, 3, 1.0); },
         Thrown::outOfRange, "Circuit element references an invalid node", sameNetlist},
        {"negative node", [] { return withNodes(2); },
         [](Circuit& c) { c.addElement(ElementType::capacitor, -1, 1, 1.0); }, Thrown::outOfRange,
         "Circuit element references an invalid node", sameNetlist},
        {"node is tested before count", fortyElements, [](Circuit& c) { c.addResistor(99, 1, 1.0); },
         Thrown::outOfRange, "Circuit element references an invalid node", sameNetlist},
        {"41st element", fortyElements, [](Circuit& c) { c.addResistor(1, 2, 1.0); }, Thrown::lengthError,
         "Realtime circuit has too many elements", sameNetlist},
        {"ground as input", divider, [](Circuit& c) { c.compile(0, 2); }, Thrown::outOfRange,
         "Realtime circuit input or output node is invalid", sameNetlist},
        {"output past the last node", divider, [](Circuit& c) { c.compile(1, 3); }, Thrown::outOfRange,
         "Realtime circuit input or output node is invalid", sameNetlist},
        {"floating pair",
         []
         {
             auto c = withNodes(4);
             c.addResistor(1, 2, 1000.0);
             c.addResistor(2, 0, 1000.0);
             c.addResistor(3, 4, 1000.0);
             return c;
         },
         [](Circuit& c) { c.compile(1, 2); }, Thrown::runtimeError, "Realtime circuit matrix is singular",
         none},
        {"1e19 ohm to ground",
         []
         {
             auto c = withNodes(2);
             c.addResistor(2, 0, 1e19);
             return c;
         },
         [](Circuit& c) { c.compile(1, 2); }, Thrown::runtimeError, "Realtime circuit matrix is singular",
         none},
        {"17 reactive states", [] { return reactiveLadder(17); }, [](Circuit& c) { c.compile(1, 2); },
         Thrown::lengthError, "Realtime circuit has too many reactive states", none},
    };
}

TEST(RealtimeLinearCircuitFailures, EachFailureThrowsItsTypeAndMessage)
{
    for (const auto& c : failureCases())
    {
        SCOPED_TRACE(c.name);
        auto circuit = c.setup();
        const auto before = circuit;
        try
        {
            c.action(circuit);
            ADD_FAILURE() << "no exception";
            continue;
        }
        catch (const std::invalid_argument& e)
        {
            EXPECT_EQ(c.type, Thrown::invalidArgument);
            EXPECT_STREQ(e.what(), c.message);
        }
        catch (const std::out_of_range& e)
        {
            EXPECT_EQ(c.type, Thrown::outOfRange);
            EXPECT_STREQ(e.what(), c.message);
        }
        catch (const std::length_error& e)
        {
            EXPECT_EQ(c.type, Thrown::lengthError);
            EXPECT_STREQ(e.what(), c.message);
        }
        catch (const std::runtime_error& e)
        {
            EXPECT_EQ(c.type, Thrown::runtimeError);
            EXPECT_STREQ(e.what(), c.message);
        }
        c.unchanged(before, circuit);
    }
}

TEST(RealtimeLinearCircuitFailures, AFailedCompileIsNeverProcessedAndCanBeMended)
{
    auto c = reactiveLadder(17);
    EXPECT_THROW(c.compile(1, 2), std::length_error);
    EXPECT_FALSE(c.isCompiled());
    EXPECT_EQ(c.processSample(1.0), 0.0);

    auto mended = withNodes(4);
    mended.addResistor(1, 2, 1000.0);
    mended.addResistor(2, 0, 1000.0);
    mended.addResistor(3, 4, 1000.0);
    EXPECT_THROW(mended.compile(1, 2), std::runtime_error);
    EXPECT_EQ(mended.getElementCount(), 3u);
    mended.addResistor(4, 0, 1000.0);
    ASSERT_NO_THROW(mended.compile(1, 2));
    EXPECT_DOUBLE_EQ(mended.processSample(2.0), 1.0);
}

// ---------------------------------------------------------------------------------------------------
// Netlist and limits.

TEST(RealtimeLinearCircuitNetlist, NodesAreNumberedFromOneUpToNineteen)
{
    Circuit c;
    EXPECT_EQ(c.getNodeCount(), 1);
    for (int expected = 1; expected <= 19; ++expected)
        EXPECT_EQ(c.addNode(), expected);
    EXPECT_THROW(c.addNode(), std::length_error);

    c.clear();
    EXPECT_EQ(c.getNodeCount(), 1);
    EXPECT_EQ(c.getElementCount(), 0u);
    EXPECT_EQ(c.addNode(), 1);
}

TEST(RealtimeLinearCircuitNetlist, SixteenReactiveStatesCompile)
{
    auto c = reactiveLadder(16);
    ASSERT_NO_THROW(c.compile(1, 2));
    EXPECT_EQ(c.getReactiveCount(), 16u);
}

TEST(RealtimeLinearCircuitNetlist, SubnormalValuesAndSelfLoopsAreAccepted)
{
    auto c = withNodes(3);
    EXPECT_NO_THROW(c.addResistor(1, 2, 1e-320));
    EXPECT_EQ(c.getElementCount(), 1u);

    // A self-loop carries no current and changes nothing in the matrix.
    auto plain = withNodes(3);
    plain.addResistor(1, 2, 1000.0);
    plain.addResistor(2, 3, 1000.0);
    plain.addResistor(3, 0, 1000.0);
    auto looped = plain;
    looped.addResistor(3, 3, 100.0);
    plain.compile(1, 3);
    looped.compile(1, 3);
    EXPECT_EQ(looped.getDirectGain(), plain.getDirectGain());
    EXPECT_DOUBLE_EQ(plain.getDirectGain(), 1.0 / 3.0);
}

TEST(RealtimeLinearCircuitNetlist, AOneE17OhmPivotStillCompiles)
{
    auto c = withNodes(2);
    c.addResistor(2, 0, 1e17);
    EXPECT_NO_THROW(c.compile(1, 2));
}

TEST(RealtimeLinearCircuitNetlist, ConductancesFollowTheRate)
{
    Circuit c;
    const struct
    {
        double prepareRate; // 0: the default rate
        ElementType type;
        double value;
        double conductance;
    } cases[] = {
        {0.0, ElementType::resistor, 1000.0, 1e-3},
        {0.0, ElementType::capacitor, 1e-6, 2 * 1e-6 * 48000},
        {0.0, ElementType::inductor, 1.0, 1.0 / (2 * 48000)},
        {4000.0, ElementType::capacitor, 1e-6, 2 * 1e-6 * 8000},
        {nan, ElementType::inductor, 1.0, 1.0 / (2 * 8000)},
        {96000.0, ElementType::capacitor, 1e-6, 2 * 1e-6 * 96000},
    };
    for (const auto& k : cases)
    {
        if (k.prepareRate != 0.0)
            c.prepare(k.prepareRate);
        hesko::dsp::circuit::Element e;
        e.type = k.type;
        e.value = k.value;
        EXPECT_DOUBLE_EQ(c.conductanceFor(e), k.conductance);
    }
    EXPECT_EQ(c.getSampleRate(), 96000.0);
}

TEST(RealtimeLinearCircuitNetlist, EditsAndPrepareMakeTheCircuitSilentUntilRecompiled)
{
    const std::vector<std::pair<const char*, std::function<void(Circuit&)>>> edits{
        {"addNode", [](Circuit& c) { c.addNode(); }},
        {"addElement", [](Circuit& c) { c.addResistor(2, 0, 5.0); }},
        {"prepare", [](Circuit& c) { c.prepare(48000.0); }},
        {"clear", [](Circuit& c) { c.clear(); }},
    };
    EXPECT_EQ(Circuit{}.processSample(1.0), 0.0);
    for (const auto& [name, edit] : edits)
    {
        auto c = rcLowPass();
        edit(c);
        EXPECT_EQ(c.processSample(1.0), 0.0) << name;
        EXPECT_EQ(c.processStereoSample(1.0, 1.0), std::make_pair(0.0, 0.0)) << name;
        EXPECT_EQ(c.processFactorizedSample(1.0), 0.0) << name;
    }
}

// ---------------------------------------------------------------------------------------------------
// Known circuits.

TEST(RealtimeLinearCircuitKnown, ResistiveDividerHalvesEverySample)
{
    auto c = divider();
    EXPECT_EQ(c.getReactiveCount(), 0u);
    EXPECT_EQ(c.getUnknownCount(), 1u);
    EXPECT_DOUBLE_EQ(c.getDirectGain(), 0.5);
    for (double x : {1.0, -3.0, 0.25, 1e-300, 12345.0})
        EXPECT_EQ(c.processSample(x), 0.5 * x);
}

TEST(RealtimeLinearCircuitKnown, OutputEqualToInputEchoesIt)
{
    auto c = withNodes(2);
    c.addResistor(1, 2, 1000.0);
    c.addCapacitor(2, 0, 1e-6);
    c.compile(2, 2);
    for (double x : {1.0, -0.5, 0.125})
        EXPECT_EQ(c.processSample(x), x);
}

TEST(RealtimeLinearCircuitKnown, AnUntouchedOutputNodeStaysAtZero)
{
    auto c = withNodes(3);
    c.addResistor(1, 2, 1000.0);
    c.addCapacitor(2, 0, 1e-6);
    c.compile(1, 3);
    EXPECT_EQ(c.getUnknownIndexOfNode(3), -1);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(c.processSample(1.0), 0.0);
}

TEST(RealtimeLinearCircuitKnown, RcLowPassDirectGainAndStepResponse)
{
    auto c = rcLowPass();
    const double g = 1.0 / 1000.0;
    const double cap = 2.0 * 1e-6 * 48000.0;
    EXPECT_EQ(c.getReactiveCount(), 1u);
    EXPECT_NEAR(c.getDirectGain(), g / (g + cap), 1e-15);

    double y = 0.0;
    for (int n = 0; n < 4800; ++n)
        y = c.processSample(1.0);
    EXPECT_NEAR(y, 1.0, 1e-12);
}

TEST(RealtimeLinearCircuitKnown, RcLowPassSineMatchesTheContinuousFilterAtThePrewarpedFrequency)
{
    for (double rate : {48000.0, 8000.0, 192000.0})
        for (double f : {50.0, 159.0, 1000.0, 3000.0})
        {
            SCOPED_TRACE(std::to_string(rate) + " Hz rate, " + std::to_string(f) + " Hz");
            auto c = rcLowPass(rate);
            const double analog = (rate / std::numbers::pi) * std::tan(std::numbers::pi * f / rate);
            const std::complex<double> h =
                1.0 / std::complex<double>(1.0, 2.0 * std::numbers::pi * analog * 1e-3);
            const double w = 2.0 * std::numbers::pi * f / rate;

            const int settle = static_cast<int>(rate); // one second: far beyond the 1 ms time constant
            for (int n = 0; n < settle; ++n)
                c.processSample(std::sin(w * n));
            double worst = 0.0;
            for (int n = settle; n < settle + 500; ++n)
            {
                const double expected = std::abs(h) * std::sin(w * n + std::arg(h));
                worst = std::max(worst, std::abs(c.processSample(std::sin(w * n)) - expected));
            }
            EXPECT_LT(worst / std::abs(h), 1e-9);
        }
}

// ---------------------------------------------------------------------------------------------------
// The state-space extraction reproduces the factorised solver.

struct RandomNetwork
{
    Circuit circuit;
    std::string description;
};

RandomNetwork randomNetwork(std::mt19937_64& rng)
{
    std::uniform_int_distribution<int> nodeCountDist(1, 19);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto logUniform = [&](double lo, double hi) { return lo * std::pow(hi / lo, unit(rng)); };

    RandomNetwork net;
    auto& c = net.circuit;
    const int nodes = nodeCountDist(rng);
    for (int i = 0; i < nodes; ++i)
        c.addNode();

    std::size_t reactive = 0;
    const std::size_t maxReactive = std::uniform_int_distribution<std::size_t>(0, 16)(rng);
    const auto addRandom = [&](int a, int b)
    {
        int kind = std::uniform_int_distribution<int>(0, 2)(rng);
        if (reactive >= maxReactive)
            kind = 0;
        if (kind == 0)
            c.addResistor(a, b, logUniform(10.0, 1e5));
        else if (kind == 1)
            c.addCapacitor(a, b, logUniform(1e-9, 1e-5));
        else
            c.addInductor(a, b, logUniform(1e-3, 10.0));
        reactive += kind != 0 ? 1 : 0;
        net.description += std::string(kind == 0   ? "R"
                                       : kind == 1 ? "C"
                                                   : "L") +
                           std::to_string(a) + "-" + std::to_string(b) + " ";
    };

    // A spanning tree to ground keeps every node conductive, then random extra branches.
    for (int k = 1; k <= nodes; ++k)
        addRandom(k, std::uniform_int_distribution<int>(0, k - 1)(rng));
    const int extra = std::uniform_int_distribution<int>(0, 40 - nodes)(rng);
    for (int i = 0; i < extra; ++i)
        addRandom(std::uniform_int_distribution<int>(0, nodes)(rng),
                  std::uniform_int_distribution<int>(0, nodes)(rng));

    const int input = std::uniform_int_distribution<int>(1, nodes)(rng);
    const int output = std::uniform_int_distribution<int>(1, nodes)(rng);
    c.prepare(std::uniform_int_distribution<int>(0, 1)(rng) ? 48000.0 : 192000.0);
    c.compile(input, output);
    net.description += "in " + std::to_string(input) + " out " + std::to_string(output);
    return net;
}

TEST(RealtimeLinearCircuitExtraction, StateSpaceStepEqualsTheFactorisedSolverOnRandomNetworks)
{
    std::mt19937_64 rng(20261211);
    std::uniform_real_distribution<double> signal(-1.0, 1.0);
    int maxStatesSeen = 0;
    for (int trial = 0; trial < 200; ++trial)
    {
        auto net = randomNetwork(rng);
        SCOPED_TRACE("trial " + std::to_string(trial) + ": " + net.description);
        auto stateSpace = net.circuit;
        auto factorised = net.circuit;
        maxStatesSeen = std::max(maxStatesSeen, static_cast<int>(stateSpace.getReactiveCount()));

        double worst = 0.0;
        double scale = 1.0;
        for (int n = 0; n < 3000; ++n)
        {
            const double x = signal(rng);
            const double a = stateSpace.processSample(x);
            const double b = factorised.processFactorizedSample(x);
            scale = std::max(scale, std::abs(b));
            worst = std::max(worst, std::abs(a - b));
        }
        EXPECT_LT(worst / scale, 1e-9);
    }
    EXPECT_EQ(maxStatesSeen, 16) << "the random networks should reach the state limit";
}

// ---------------------------------------------------------------------------------------------------
// Lanes and state transfer.

TEST(RealtimeLinearCircuitLanes, StereoWithASilentRightLaneIsTheMonoStepExactly)
{
    auto mono = rcLowPass();
    auto stereo = rcLowPass();
    for (int n = 0; n < 200; ++n)
    {
        const double x = std::sin(0.05 * n) + 0.3 * std::cos(0.71 * n);
        const auto [left, right] = stereo.processStereoSample(x, 0.0);
        ASSERT_EQ(left, mono.processSample(x)) << n;
        ASSERT_EQ(right, 0.0) << n;
        ASSERT_EQ(stereo.getLaneState(0, 1), 0.0);
    }
}

TEST(RealtimeLinearCircuitLanes, LanesStayIndependent)
{
    std::mt19937_64 rng(7);
    auto net = randomNetwork(rng);
    while (net.circuit.getReactiveCount() < 4)
        net = randomNetwork(rng);
    auto stereo = net.circuit;
    auto left = net.circuit;
    auto right = net.circuit;
    for (int n = 0; n < 500; ++n)
    {
        const double l = std::sin(0.01 * n);
        const double r = n % 7 == 0 ? 1.0 : -0.2;
        const auto out = stereo.processStereoSample(l, r);
        ASSERT_EQ(out.first, left.evaluateStateSpaceLane(l, 0)) << n;
        ASSERT_EQ(out.second, right.evaluateStateSpaceLane(r, 1)) << n;
    }

    // Mono and stereo calls continue lane 0 where it stood.
    auto mixed = net.circuit;
    auto reference = net.circuit;
    for (int n = 0; n < 100; ++n)
    {
        const double x = std::cos(0.3 * n);
        const double got = n % 2 ? mixed.processSample(x) : mixed.processStereoSample(x, 0.5).first;
        ASSERT_EQ(got, reference.processSample(x)) << n;
    }
}

TEST(RealtimeLinearCircuitLanes, CopyStateFromContinuesOnlyACompatibleLayout)
{
    const auto build = [](double rate, double r, int output, int capNode, bool compile)
    {
        auto c = withNodes(3);
        c.prepare(rate);
        c.addResistor(1, 2, r);
        c.addCapacitor(capNode, 0, 1e-6);
        c.addResistor(2, 3, 1000.0);
        c.addCapacitor(3, 0, 2e-6);
        if (compile)
            c.compile(1, output);
        return c;
    };
    const struct
    {
        const char* name;
        Circuit source;
        bool compatible;
    } cases[] = {
        {"other values", build(48000.0, 2200.0, 3, 2, true), true},
        {"other topology", build(48000.0, 1000.0, 3, 3, true), false},
        {"other rate", build(44100.0, 1000.0, 3, 2, true), false},
        {"other output node", build(48000.0, 1000.0, 2, 2, true), false},
        {"source not compiled", build(48000.0, 1000.0, 3, 2, false), false},
    };
    for (auto c : cases)
    {
        SCOPED_TRACE(c.name);
        auto receiver = build(48000.0, 1000.0, 3, 2, true);
        for (int n = 0; n < 50; ++n)
        {
            c.source.processStereoSample(1.0, -1.0);
            receiver.processSample(0.25);
        }
        EXPECT_EQ(receiver.hasCompatibleStateLayout(c.source), c.compatible);
        EXPECT_EQ(receiver.copyStateFrom(c.source), c.compatible);
        for (std::size_t s = 0; s < 2; ++s)
            for (std::size_t lane = 0; lane < 2; ++lane)
                EXPECT_EQ(receiver.getLaneState(s, lane),
                          c.compatible ? c.source.getLaneState(s, lane) : 0.0);
        if (c.compatible)
        {
            // The receiver's next output comes from the copied states with its own terms.
            double expected = receiver.getDirectGain() * 0.0;
            for (std::size_t s = 0; s < receiver.getReactiveCount(); ++s)
                expected += receiver.getOutputVector(s) * c.source.getLaneState(s, 0);
            EXPECT_EQ(receiver.processSample(0.0), expected);
            EXPECT_NE(expected, 0.0);
        }
    }
}

TEST(RealtimeLinearCircuitLanes, NonFiniteInputPoisonsAStatefulLaneUntilReset)
{
    auto c = rcLowPass();
    c.processStereoSample(nan, 1.0);
    for (int n = 0; n < 20; ++n)
    {
        const auto [left, right] = c.processStereoSample(0.0, 0.0);
        EXPECT_TRUE(std::isnan(left));
        EXPECT_TRUE(std::isfinite(right)) << "the other lane is untouched";
    }
    c.reset();
    EXPECT_EQ(c.processSample(1.0), c.getDirectGain());

    auto resistive = divider();
    EXPECT_TRUE(std::isnan(resistive.processSample(nan)));
    EXPECT_EQ(resistive.processSample(1.0), 0.5) << "a circuit without state forgets at once";
}

TEST(RealtimeLinearCircuitLanes, ResetReturnsToRestAndKeepsTheCompiledNetwork)
{
    auto c = rcLowPass();
    const double first = c.processSample(1.0);
    for (int n = 0; n < 10; ++n)
        c.processStereoSample(1.0, 1.0);
    c.reset();
    EXPECT_TRUE(c.isCompiled());
    EXPECT_EQ(c.processSample(1.0), first);
    EXPECT_EQ(first, c.getDirectGain());
}
} // namespace

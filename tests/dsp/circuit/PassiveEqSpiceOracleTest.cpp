// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// An independent oracle for the curves: the same passive network, written out here as a SPICE netlist
// from the component values, is solved by ngspice's AC analysis. The digital network's exact response
// at f must equal the analog one at the pre-warped frequency (fs/pi) tan(pi f / fs). This checks the
// component model, the wiring, the trapezoidal discretisation, the nodal solver and the state-space
// extraction together.
#include "PassiveEqFixtures.h"
#include "dsp/circuit/PassiveNetworkSpec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <unistd.h>

namespace
{
using namespace hesko::dsp;
using circuit::eqp1a_model::PassiveNetworkSpec;
using hesko::test::record;
using LF = LowFrequency;
using HBF = HighBoostFrequency;
using HAF = HighAttenFrequency;
namespace fs = std::filesystem;

struct AnalogPoint
{
    double frequency;
    std::complex<double> response;
};

std::string value(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The network as its schematic reads, with named nodes.
std::string netlist(const PassiveNetworkSpec& s, double maxFrequency, const fs::path& output)
{
    std::ostringstream n;
    n << "* passive program EQ network\n"
      << "Vin in 0 DC 0 AC 1\n"
      << "R_boost_upper in boost_wiper " << value(s.highBoostUpperResistance) << "\n"
      << "R_boost_lower boost_wiper junction " << value(s.highBoostLowerResistance) << "\n"
      << "C_resonator boost_wiper res_mid " << value(s.highBoostCapacitance) << "\n"
      << "L_resonator res_mid res_end " << value(s.highBoostInductance) << "\n"
      << "R_bandwidth res_end junction " << value(s.bandwidthResistance) << "\n"
      << "R_low_atten junction low_out " << value(s.lowAttenResistance) << "\n"
      << "C_low_atten junction low_out " << value(s.lowAttenCapacitance) << "\n"
      << "R_out_series low_out out " << value(s.outputSeriesResistance) << "\n"
      << "R_out_shunt out return " << value(s.outputShuntResistance) << "\n"
      << "R_low_boost return 0 " << value(s.lowBoostResistance) << "\n"
      << "C_low_boost return 0 " << value(s.lowBoostCapacitance) << "\n"
      << "R_atten_upper junction atten_wiper " << value(s.highAttenUpperResistance) << "\n"
      << "R_atten_lower atten_wiper return " << value(s.highAttenLowerResistance) << "\n"
      << "C_atten atten_wiper atten_tap " << value(s.highAttenCapacitance) << "\n"
      << "R_atten_series atten_tap return " << value(s.highAttenSeriesResistance) << "\n"
      << ".control\n"
      << "set wr_singlescale\n"
      << "ac dec 60 10 " << value(maxFrequency) << "\n"
      << "wrdata " << output.string() << " vr(out) vi(out)\n"
      << "quit\n"
      << ".endc\n"
      << ".end\n";
    return n.str();
}

class SpiceOracle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/amberslope-spice-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
    }
    void TearDown() override { fs::remove_all(directory); }

    std::vector<AnalogPoint> runNgspice(const PassiveNetworkSpec& spec, double maxFrequency)
    {
        const auto circuitFile = directory / "network.cir";
        const auto dataFile = directory / "response.txt";
        std::ofstream(circuitFile) << netlist(spec, maxFrequency, dataFile);
        const std::string command =
            "ngspice -b " + circuitFile.string() + " > " + (directory / "log").string() + " 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_EQ(status, 0) << "ngspice failed (is the ngspice package installed?): " << command;

        std::vector<AnalogPoint> points;
        std::ifstream data(dataFile);
        double f = 0, re = 0, im = 0;
        while (data >> f >> re >> im)
            points.push_back({f, {re, im}});
        return points;
    }

    fs::path directory;
};

std::vector<PultecEqParameters> oracleSettings()
{
    std::vector<PultecEqParameters> settings;
    // Every low switch position, boost and cut together and apart.
    for (int lf = 0; lf < 4; ++lf)
    {
        settings.push_back(record(LF(lf), 10, 10, HBF::khz8, 0, 5, HAF::khz10, 0));
        settings.push_back(record(LF(lf), 6.5f, 0, HBF::khz8, 0, 5, HAF::khz10, 0));
        settings.push_back(record(LF(lf), 0, 8, HBF::khz8, 0, 5, HAF::khz10, 0));
    }
    // Every high-boost position at both bandwidth extremes, with some attenuation alongside.
    for (int hbf = 0; hbf < 7; ++hbf)
    {
        settings.push_back(record(LF::hz60, 0, 0, HBF(hbf), 10, 0, HAF::khz10, 0));
        settings.push_back(record(LF::hz60, 0, 0, HBF(hbf), 7, 10, HAF::khz20, 6));
    }
    // Every high-attenuation position.
    for (int haf = 0; haf < 3; ++haf)
        settings.push_back(record(LF::hz30, 0, 0, HBF::khz8, 0, 5, HAF(haf), 10));
    // Both bands working at once, and the flat network.
    settings.push_back(record(LF::hz100, 4, 7, HBF::khz12, 9, 3, HAF::khz5, 5));
    settings.push_back(PultecEqParameters{});
    return settings;
}

TEST_F(SpiceOracle, DigitalNetworkMatchesNgspiceAtThePrewarpedFrequencies)
{
    constexpr double pi = std::numbers::pi;
    std::size_t comparisons = 0;
    for (double rate : {48000.0, 176400.0, 192000.0, 384000.0})
        for (const auto& p : oracleSettings())
        {
            SCOPED_TRACE(hesko::test::describe(p) + " @ " + std::to_string(rate) + " Hz");
            const auto eq = hesko::test::preparedEq(rate, p);
            const auto spec = circuit::eqp1a_model::buildNetworkSpec(p, rate);
            const double maxAnalog = std::tan(0.45 * pi) * rate / pi * 1.01;
            const auto analog = runNgspice(spec, maxAnalog);
            ASSERT_GT(analog.size(), 100u);

            double worstDb = 0.0;
            std::size_t checked = 0;
            for (const auto& point : analog)
            {
                // The digital frequency that the bilinear map sends to this analog one.
                const double digital = rate / pi * std::atan(pi * point.frequency / rate);
                if (digital < 20.0 || digital > 0.45 * rate)
                    continue;
                const double digitalDb = hesko::test::networkDb(eq, digital);
                const double analogDb = 20.0 * std::log10(std::abs(point.response));
                worstDb = std::max(worstDb, std::abs(digitalDb - analogDb));
                ++checked;
            }
            EXPECT_LT(worstDb, 0.001);
            EXPECT_GT(checked, 150u);
            comparisons += checked;
        }
    RecordProperty("comparisons", static_cast<int>(comparisons));
}

TEST_F(SpiceOracle, SettledSinesAgreeWithTheOracleAtSpotFrequencies)
{
    constexpr double pi = std::numbers::pi;
    const double rate = 48000.0;
    const auto p = record(LF::hz60, 10, 10, HBF::khz8, 10, 0, HAF::khz10, 0);
    const auto spec = circuit::eqp1a_model::buildNetworkSpec(p, rate);
    const auto analog = runNgspice(spec, std::tan(0.45 * pi) * rate / pi * 1.01);
    ASSERT_FALSE(analog.empty());

    auto eq = hesko::test::preparedEq(rate, p);
    for (std::size_t index : {analog.size() / 5, analog.size() / 2, analog.size() * 4 / 5})
    {
        const auto& point = analog[index];
        const double digital = rate / pi * std::atan(pi * point.frequency / rate);
        const double w = 2.0 * pi * digital / rate;
        eq.reset();
        // Settle, then fit a sin(wn) + b cos(wn) by least squares (exact for a settled tone).
        const int settle = 4 * static_cast<int>(rate);
        for (int n = 0; n < settle; ++n)
            eq.processSample(std::sin(w * n));
        double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
        for (int n = settle; n < settle + 48000; ++n)
        {
            const double sn = std::sin(w * n), cn = std::cos(w * n);
            const double y = eq.processSample(sn);
            ss += sn * sn, sc += sn * cn, cc += cn * cn, ys += y * sn, yc += y * cn;
        }
        const double det = ss * cc - sc * sc;
        const double a = (ys * cc - yc * sc) / det;
        const double b = (yc * ss - ys * sc) / det;
        const double amplitude = std::hypot(a, b) * eq.getInsertionGain();
        const double expected = std::abs(point.response);
        EXPECT_NEAR(20.0 * std::log10(amplitude), 20.0 * std::log10(expected), 0.001) << digital << " Hz";
    }
}
} // namespace

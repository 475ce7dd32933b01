// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// amberslope-curve: the passive network's exact magnitude response as CSV, straight from the DSP core
// (no plug-in, no oversampling, no amplifier).
//
//   amberslope-curve [--rate HZ] [--set ID=VALUE ...] [--freqs F1,F2,...] [--points N] [--relative]

#include "dsp/circuit/FrequencyResponse.h"
#include "dsp/circuit/RealtimeEqp1aPassiveEq.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace
{
using hesko::dsp::PultecEqParameters;

int usage()
{
    std::fprintf(
        stderr,
        "usage: amberslope-curve [--rate HZ] [--set ID=VALUE ...] [--freqs F1,F2,...] [--points N] "
        "[--relative]\n"
        "  IDs: lowFrequency (20|30|60|100 Hz), lowBoost, lowAtten, highBoostFrequency (3|4|5|8|10|12|16 "
        "kHz),\n"
        "       highBoost, highBandwidth, highAttenFrequency (5|10|20 kHz), highAtten (amounts 0..10)\n"
        "  --points N   N log-spaced frequencies from 10 Hz to 0.45 x rate (default 61)\n"
        "  --relative   gain relative to the flat setting instead of after the make-up gain\n");
    return 2;
}

template <typename Enum, std::size_t N>
bool setSwitch(Enum& field, double value, const double (&positions)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (positions[i] == value)
        {
            field = static_cast<Enum>(i);
            return true;
        }
    return false;
}

bool apply(PultecEqParameters& p, const std::string& id, double v)
{
    static const double lows[] = {20, 30, 60, 100};
    static const double boosts[] = {3, 4, 5, 8, 10, 12, 16};
    static const double attens[] = {5, 10, 20};
    const auto amount = [v](float& field)
    {
        field = static_cast<float>(v);
        return v >= 0.0 && v <= 10.0;
    };
    if (id == "lowFrequency")
        return setSwitch(p.lowFrequency, v, lows);
    if (id == "highBoostFrequency")
        return setSwitch(p.highBoostFrequency, v, boosts);
    if (id == "highAttenFrequency")
        return setSwitch(p.highAttenFrequency, v, attens);
    if (id == "lowBoost")
        return amount(p.lowBoost);
    if (id == "lowAtten")
        return amount(p.lowAtten);
    if (id == "highBoost")
        return amount(p.highBoost);
    if (id == "highBandwidth")
        return amount(p.highBandwidth);
    if (id == "highAtten")
        return amount(p.highAtten);
    return false;
}
} // namespace

int main(int argc, char* argv[])
{
    double rate = 48000.0;
    int points = 61;
    bool relative = false;
    PultecEqParameters p;
    std::vector<double> frequencies;

    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--rate" && hasValue)
            rate = std::atof(argv[++i]);
        else if (arg == "--points" && hasValue)
            points = std::atoi(argv[++i]);
        else if (arg == "--relative")
            relative = true;
        else if (arg == "--freqs" && hasValue)
        {
            std::string list = argv[++i];
            for (std::size_t start = 0; start <= list.size();)
            {
                const auto comma = list.find(',', start);
                frequencies.push_back(std::atof(list.substr(start, comma - start).c_str()));
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        }
        else if (arg == "--set" && hasValue)
        {
            const std::string setting = argv[++i];
            const auto equals = setting.find('=');
            if (equals == std::string::npos ||
                !apply(p, setting.substr(0, equals), std::atof(setting.c_str() + equals + 1)))
            {
                std::fprintf(stderr, "amberslope-curve: not a valid setting: %s\n", setting.c_str());
                return 2;
            }
        }
        else
            return usage();
    }
    if (!(rate >= 8000.0) || points < 2)
        return usage();
    if (frequencies.empty())
        for (int k = 0; k < points; ++k)
            frequencies.push_back(10.0 * std::pow(0.45 * rate / 10.0, k / double(points - 1)));

    hesko::dsp::circuit::RealtimeEqp1aPassiveEq eq;
    hesko::dsp::circuit::RealtimeEqp1aPassiveEq flat;
    try
    {
        eq.prepare(rate, p);
        flat.prepare(rate, PultecEqParameters{});
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "amberslope-curve: %s\n", e.what());
        return 1;
    }

    std::printf("frequency_hz,%s\n", relative ? "gain_relative_to_flat_db" : "gain_db");
    for (double f : frequencies)
    {
        const auto db = [f](const hesko::dsp::circuit::RealtimeEqp1aPassiveEq& e)
        {
            return 20.0 * std::log10(std::abs(hesko::dsp::circuit::frequencyResponse(e.getCircuit(), f)) /
                                     e.getInsertionGain());
        };
        std::printf("%.6g,%.6f\n", f, relative ? db(eq) - db(flat) : db(eq));
    }
    return 0;
}

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// libFuzzer target for the state restore check: no input may crash it or trip a sanitizer, and any
// state it accepts must hold every parameter exactly once, inside its range.
#include "StateValidation.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
// The host parameters' plain ranges, in the order the processor checks them.
const std::vector<hesko::state::ParameterRange>& ranges()
{
    static const std::vector<hesko::state::ParameterRange> table{
        {"lowFrequency", 0, 3},       {"lowBoost", 0, 10},    {"lowAtten", 0, 10},
        {"highBoostFrequency", 0, 6}, {"highBoost", 0, 10},   {"highBandwidth", 0, 10},
        {"highAttenFrequency", 0, 2}, {"highAtten", 0, 10},   {"eqIn", 0, 1},
        {"analogNoise", 0, 1},        {"outputGain", -12, 12}};
    return table;
}

[[noreturn]] void fail(const char* why, const juce::String& id)
{
    fprintf(stderr, "accepted state breaks its contract: %s (%s)\n", why, id.toRawUTF8());
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int length = size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    const auto tree = hesko::state::parseState(data, length, ranges());
    if (!tree)
        return 0;

    if (static_cast<int>(tree->getProperty("stateVersion")) != hesko::state::currentStateVersion)
        fail("version", "stateVersion");
    for (const auto& range : ranges())
    {
        int found = 0;
        for (const auto& child : *tree)
        {
            if (child.getProperty("id").toString() != range.id)
                continue;
            ++found;
            const double value =
                std::strtod(child.getProperty("value").toString().trim().toRawUTF8(), nullptr);
            if (!(value >= range.start && value <= range.end))
                fail("value out of range", range.id);
        }
        if (found != 1)
            fail("parameter not present exactly once", range.id);
    }
    return 0;
}

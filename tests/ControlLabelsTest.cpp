// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "ControlLabels.h"

#include <gtest/gtest.h>

namespace
{
namespace profile = hesko::control_profile;

TEST(ControlLabels, LabelsComeInPositionOrder)
{
    const struct
    {
        const char* table;
        juce::StringArray labels;
        juce::StringArray expected;
    } cases[] = {
        {"low", profile::labelsFor(profile::lowFrequencies), {"20", "30", "60", "100"}},
        {"high boost",
         profile::labelsFor(profile::highBoostFrequencies),
         {"3", "4", "5", "8", "10", "12", "16"}},
        {"high atten", profile::labelsFor(profile::highAttenFrequencies), {"5", "10", "20"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.labels, c.expected) << c.table << ": " << c.labels.joinIntoString(",");
}

template <typename E, std::size_t N>
void expectValueEqualsIndex(const std::array<profile::Choice<E>, N>& table)
{
    for (std::size_t i = 0; i < N; ++i)
        EXPECT_EQ(static_cast<std::size_t>(table[i].value), i) << table[i].label;
}

TEST(ControlLabels, EachEntrysValueIsItsPosition)
{
    expectValueEqualsIndex(profile::lowFrequencies);
    expectValueEqualsIndex(profile::highBoostFrequencies);
    expectValueEqualsIndex(profile::highAttenFrequencies);
}
} // namespace

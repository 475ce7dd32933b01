// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "dsp/NoiseSeeds.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
using hesko::dsp::NoiseSeeds;

TEST(NoiseSeeds, InstancesOneAndTwoGetTheirKnownSeeds)
{
    const struct
    {
        std::uint64_t instance;
        std::uint32_t left;
        std::uint32_t right;
    } cases[] = {{1, 2727570179u, 1885522977u}, {2, 3675302440u, 4008773548u}};
    for (const auto& c : cases)
    {
        const auto seeds = NoiseSeeds::forInstance(c.instance);
        EXPECT_EQ(seeds.left, c.left) << "instance " << c.instance;
        EXPECT_EQ(seeds.right, c.right) << "instance " << c.instance;
    }
}

TEST(NoiseSeeds, ManyInstancesNeverShareOrZeroASeed)
{
    std::set<std::uint32_t> seen;
    for (std::uint64_t i = 1; i <= 10000; ++i)
    {
        const auto seeds = NoiseSeeds::forInstance(i);
        EXPECT_NE(seeds.left, 0u);
        EXPECT_NE(seeds.right, 0u);
        seen.insert(seeds.left);
        seen.insert(seeds.right);
    }
    EXPECT_EQ(seen.size(), 20000u);
}

TEST(NoiseSeeds, MixIsTheSplitmixFinaliser)
{
    // Reference values of splitmix64's output stage.
    EXPECT_EQ(NoiseSeeds::mix(0), 0u);
    EXPECT_EQ(NoiseSeeds::mix(0x9e3779b97f4a7c15ull), 0xe220a8397b1dcdafull);
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// A block of garbage from the host (NaN, infinities, absurd magnitudes) and then normal audio: the
// output stays finite and is back to normal by the next block, because garbage counts as silence; in
// both precisions, through the VST3.
#include "HostTortureSupport.h"

namespace
{
using namespace hesko::test::torture;
namespace counters = hesko::test::audio_thread;

template <typename Sample> void recoversFromGarbage(Precision precision, double rate)
{
    const int block = 256;
    auto hit = loadHosted(precision, rate, block);
    auto clean = loadHosted(precision, rate, block);
    ASSERT_NE(hit.instance, nullptr);
    ASSERT_NE(clean.instance, nullptr);

    const auto normal = asDoubles(hesko::test::tone(rate, {220.0, 2500.0}, 0.2, 40 * block));
    auto poisoned = normal;
    auto silenced = normal;
    const std::size_t bad = 20 * block; // block 20 is the garbage
    for (std::size_t i = bad; i < bad + block; ++i)
    {
        const double garbage[] = {std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  1e30,
                                  -1e30,
                                  3e38,
                                  -3e38};
        if (i % 3 == 0)
        {
            poisoned[i] = garbage[(i / 3) % 7];
            silenced[i] = 0.0;
        }
    }

    std::string unclean;
    counters::resetCounts();
    const auto out = stream<Sample>(
        *hit.instance, poisoned, block, [&] { return block; }, &unclean);
    expectNoAllocationOrLock("garbage input");
    EXPECT_EQ(unclean, "") << "the output stays finite";

    // The reference heard silence where the garbage was: garbage counts as silence, so the block after
    // it (and the garbage block itself) is what the reference gives, sample for sample.
    const auto reference = stream<Sample>(*clean.instance, silenced, block, [&] { return block; });
    ASSERT_EQ(out.size(), reference.size());
    for (std::size_t i = bad; i < out.size(); ++i)
        ASSERT_EQ(out[i], reference[i])
            << "sample " << static_cast<long>(i - bad) - block << " after the garbage";
}

TEST(Vst3Recovery, AfterABlockOfGarbageTheOutputIsFiniteAndNormalWithinOneBlock)
{
    for (double rate : {44100.0, 96000.0, 192000.0})
    {
        SCOPED_TRACE(rate);
        recoversFromGarbage<float>(Precision::single, rate);
        recoversFromGarbage<double>(Precision::twice, rate);
    }
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
// Must be the only test of its process: instances are numbered process-wide.
TEST(FreshProcess, FirstTwoInstancesDrawTheDocumentedSeeds)
{
    AmberslopeAudioProcessor first;
    AmberslopeAudioProcessor second;
    EXPECT_EQ(first.getLeftNoiseSeed(), 2727570179u);
    EXPECT_EQ(first.getRightNoiseSeed(), 1885522977u);
    EXPECT_EQ(second.getLeftNoiseSeed(), 3675302440u);
    EXPECT_EQ(second.getRightNoiseSeed(), 4008773548u);
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// JUCE needs its message manager for parameters, editors and plug-in hosting; the tests run on the
// message thread.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}

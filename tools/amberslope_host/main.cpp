// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// amberslope-host: a headless host for the built VST3.
//   amberslope-host info [--plugin PATH]   what a host sees when it loads the plug-in

#include "HostedPlugin.h"

#include <cstdio>
#include <iostream>

namespace
{
int usage()
{
    std::cerr << "usage: amberslope-host info [--plugin PATH.vst3]\n"
                 "  info   load the VST3 as a host does and print its identity, layouts, latency and\n"
                 "         parameters\n"
                 "  --plugin defaults to " AMBERSLOPE_DEFAULT_VST3 "\n";
    return 2;
}

int runInfo(const juce::File& bundle)
{
    juce::String error;
    const auto plugin = hesko::hosting::HostedPlugin::load(bundle, 48000.0, 512, error);
    if (plugin.instance == nullptr)
    {
        std::cerr << "amberslope-host: cannot load the plug-in: " << error << "\n";
        return 1;
    }
    std::cout << hesko::hosting::describe(plugin);
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add(argv[i]);
    if (args.isEmpty())
        return usage();

    const auto command = args[0];
    auto bundle = juce::File(AMBERSLOPE_DEFAULT_VST3);
    for (int i = 1; i < args.size(); ++i)
    {
        if (args[i] == "--plugin" && i + 1 < args.size())
            bundle = juce::File::getCurrentWorkingDirectory().getChildFile(args[++i]);
        else
            return usage();
    }

    if (command == "info")
        return runInfo(bundle);
    return usage();
}

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "HostedPlugin.h"

namespace hesko::hosting
{

HostedPlugin HostedPlugin::load(const juce::File& bundle, double sampleRate, int blockSize,
                                juce::String& error)
{
    HostedPlugin plugin;
    if (!bundle.exists())
    {
        error = "no plug-in at " + bundle.getFullPathName();
        return plugin;
    }

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile(types, bundle.getFullPathName());
    if (types.isEmpty())
    {
        error = "no VST3 plug-in class found in " + bundle.getFullPathName();
        return plugin;
    }

    plugin.description = *types.getFirst();
    plugin.instance = format.createInstanceFromDescription(plugin.description, sampleRate, blockSize, error);
    return plugin;
}

std::vector<LayoutAnswer> probeLayouts(juce::AudioPluginInstance& plugin)
{
    using Set = juce::AudioChannelSet;
    struct Probe
    {
        const char* name;
        Set input;
        Set output;
    };
    const Probe probes[] = {
        {"mono", Set::mono(), Set::mono()},
        {"stereo", Set::stereo(), Set::stereo()},
        {"mono->stereo", Set::mono(), Set::stereo()},
        {"5.1", Set::create5point1(), Set::create5point1()},
    };

    std::vector<LayoutAnswer> answers;
    for (const auto& probe : probes)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(probe.input);
        layout.outputBuses.add(probe.output);
        answers.push_back({probe.name, plugin.checkBusesLayoutSupported(layout)});
    }
    return answers;
}

juce::String describe(const HostedPlugin& plugin)
{
    const auto& d = plugin.description;
    auto& instance = *plugin.instance;

    juce::String text;
    text << "Plug-in:   " << d.name << "\n"
         << "Vendor:    " << d.manufacturerName << "\n"
         << "Version:   " << d.version << "\n"
         << "Category:  " << d.category << "\n"
         << "Format:    " << d.pluginFormatName << " (" << d.fileOrIdentifier << ")\n"
         << "Layouts:  ";
    for (const auto& answer : probeLayouts(instance))
        text << " " << answer.name << (answer.accepted ? " yes," : " no,");
    text = text.trimCharactersAtEnd(",");
    text << "\n"
         << "Latency:   " << instance.getLatencySamples() << " samples\n"
         << "Parameters (" << instance.getParameters().size() << "):\n";

    int index = 1;
    for (auto* parameter : instance.getParameters())
    {
        const auto unit = parameter->getLabel();
        const auto withUnit = [&unit](const juce::String& value)
        { return unit.isEmpty() ? value : value + " " + unit; };
        text << juce::String(index++).paddedLeft(' ', 3) << ". "
             << parameter->getName(64).paddedRight(' ', 28) << " range "
             << withUnit(parameter->getText(0.0f, 64)) << " .. " << withUnit(parameter->getText(1.0f, 64))
             << ", default " << withUnit(parameter->getText(parameter->getDefaultValue(), 64)) << ", now "
             << withUnit(parameter->getCurrentValueAsText()) << "\n";
    }
    return text;
}

} // namespace hesko::hosting

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "HostedPlugin.h"

#include "ParameterIds.h"

#include <chrono>
#include <cmath>

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
         << "Latency:   " << reportedLatency(instance) << " samples\n"
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

int reportedLatency(juce::AudioPluginInstance& plugin)
{
    // A VST3 announces a new latency through the host's component handler, on the message thread.
    if (auto* messages = juce::MessageManager::getInstanceWithoutCreating();
        messages != nullptr && messages->isThisTheMessageThread())
        messages->runDispatchLoopUntil(50);
    return plugin.getLatencySamples();
}

bool setParameterFromText(juce::AudioProcessor& plugin, const juce::String& id, const juce::String& text,
                          juce::String& error)
{
    const auto& parameters = plugin.getParameters();
    for (std::size_t i = 0; i < parameter_ids::all.size(); ++i)
    {
        if (id != parameter_ids::all[i])
            continue;
        if (static_cast<int>(i) >= parameters.size())
            break;
        auto* parameter = parameters[static_cast<int>(i)];
        const float value = parameter->getValueForText(text.trim());
        // A text the parameter does not take comes back as some other value: check the round trip.
        const auto shown = parameter->getText(value, 64);
        const bool numeric = shown.containsOnly("0123456789.-+");
        const bool taken = numeric ? std::abs(shown.getDoubleValue() - text.getDoubleValue()) < 0.005
                                   : true; // switches: "on", "off", "1", "0"
        if (!taken)
        {
            error = id + " does not take \"" + text + "\" (nearest is " + shown + ")";
            return false;
        }
        parameter->setValueNotifyingHost(value);
        return true;
    }
    error = "unknown parameter " + id + " (IDs: " +
            juce::StringArray(parameter_ids::all.data(), static_cast<int>(parameter_ids::all.size()))
                .joinIntoString(", ") +
            ")";
    return false;
}

RenderResult renderOffline(juce::AudioPluginInstance& plugin, const juce::AudioBuffer<float>& input,
                           double sampleRate, int blockSize)
{
    RenderResult result;
    const int channels = input.getNumChannels();
    plugin.setNonRealtime(true);
    plugin.setPlayConfigDetails(channels, channels, sampleRate, blockSize);
    plugin.prepareToPlay(sampleRate, blockSize);

    result.output.makeCopyOf(input);
    juce::AudioBuffer<float> block(channels, blockSize);
    juce::MidiBuffer midi;
    const auto started = std::chrono::steady_clock::now();
    for (int start = 0; start < input.getNumSamples(); start += blockSize)
    {
        const int length = std::min(blockSize, input.getNumSamples() - start);
        block.setSize(channels, length, false, false, true);
        for (int ch = 0; ch < channels; ++ch)
            block.copyFrom(ch, 0, input, ch, start, length);
        plugin.processBlock(block, midi);
        for (int ch = 0; ch < channels; ++ch)
            result.output.copyFrom(ch, start, block, ch, 0, length);
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.latencySamples = reportedLatency(plugin);
    plugin.releaseResources();

    double sumOfSquares = 0.0;
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < result.output.getNumSamples(); ++i)
        {
            const double v = result.output.getSample(ch, i);
            result.peak = std::max(result.peak, std::abs(v));
            sumOfSquares += v * v;
        }
    const double count = static_cast<double>(channels) * result.output.getNumSamples();
    result.rms = count > 0 ? std::sqrt(sumOfSquares / count) : 0.0;
    result.realtimeFactor = elapsed > 0 ? (input.getNumSamples() / sampleRate) / elapsed : 0.0;
    return result;
}

} // namespace hesko::hosting

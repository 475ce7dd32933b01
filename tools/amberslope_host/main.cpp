// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// amberslope-host: a headless host for the built VST3, loaded as a DAW loads it.
//   info     what a host sees: identity, layouts, latency, parameters
//   render   an offline render of a WAV file or a generated signal, written to a WAV file
//   picture  the editor drawn headlessly into a PNG (the plug-in's own editor code, in process)
//   response magnitude responses measured through the VST3, drawn to a PNG and written to a CSV

#include "HostedPlugin.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"
#include "ResponsePlot.h"
#include "TestSignals.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <iostream>

namespace
{
int usage()
{
    std::cerr
        << "usage:\n"
           "  amberslope-host info [--plugin PATH.vst3]\n"
           "  amberslope-host render (--in FILE.wav | --signal sweep|pink|drums) --out FILE.wav\n"
           "                  [--seconds S] [--rate HZ] [--block N] [--set ID=VALUE ...] [--plugin "
           "PATH.vst3]\n"
           "  amberslope-host picture --out FILE.png [--set ID=VALUE ...]\n"
           "  amberslope-host response --out PATH --curve 'LABEL|ID=VALUE,ID=VALUE' [--curve ...]\n"
           "                  [--title TEXT] [--rate HZ] [--plugin PATH.vst3]\n"
           "  amberslope-host response --family NAME|all --out DIR [--rate HZ] [--plugin PATH.vst3]\n"
           "\n"
           "  response writes PATH.png and PATH.csv (a family: DIR/NAME.png and DIR/NAME.csv); the rate\n"
           "  defaults to 96000 so that the curves reach 30 kHz. Families: all, "
        << hesko::hosting::familyNames()
        << "\n"
           "  --set takes the parameter ID and a value in its own units, e.g. --set lowFrequency=60\n"
           "  --set lowBoost=7 --set highBoostFrequency=12 --set eqIn=on --set outputGain=-3\n"
           "  --plugin defaults to " AMBERSLOPE_DEFAULT_VST3 "\n";
    return 2;
}

struct Options
{
    juce::String command;
    juce::File plugin{AMBERSLOPE_DEFAULT_VST3};
    juce::File input;
    juce::String signal;
    juce::File output;
    double seconds = 8.0;
    double rate = 48000.0;
    int block = 512;
    bool rateGiven = false;
    juce::StringPairArray settings;
    juce::StringArray settingOrder;
    juce::StringArray curves;
    juce::String family;
    juce::String title;
};

bool parse(const juce::StringArray& args, Options& o)
{
    if (args.isEmpty())
        return false;
    o.command = args[0];
    const auto cwd = juce::File::getCurrentWorkingDirectory();
    for (int i = 1; i < args.size(); ++i)
    {
        const auto& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (!hasValue)
            return false;
        const auto value = args[++i];
        if (a == "--plugin")
            o.plugin = cwd.getChildFile(value);
        else if (a == "--in")
            o.input = cwd.getChildFile(value);
        else if (a == "--signal")
            o.signal = value;
        else if (a == "--out")
            o.output = cwd.getChildFile(value);
        else if (a == "--seconds")
            o.seconds = value.getDoubleValue();
        else if (a == "--rate")
        {
            o.rate = value.getDoubleValue();
            o.rateGiven = true;
        }
        else if (a == "--curve")
            o.curves.add(value);
        else if (a == "--family")
            o.family = value;
        else if (a == "--title")
            o.title = value;
        else if (a == "--block")
            o.block = value.getIntValue();
        else if (a == "--set" && value.contains("="))
        {
            o.settingOrder.add(value.upToFirstOccurrenceOf("=", false, false));
            o.settings.set(o.settingOrder.strings.getLast(), value.fromFirstOccurrenceOf("=", false, false));
        }
        else
            return false;
    }
    return true;
}

hesko::hosting::HostedPlugin load(const Options& o)
{
    juce::String error;
    auto plugin = hesko::hosting::HostedPlugin::load(o.plugin, o.rate, o.block, error);
    if (plugin.instance == nullptr)
        std::cerr << "amberslope-host: cannot load the plug-in: " << error << "\n";
    return plugin;
}

int runInfo(const Options& o)
{
    auto plugin = load(o);
    if (plugin.instance == nullptr)
        return 1;
    // A VST3 reports its latency through the host's component handler once it has been prepared and run.
    plugin.instance->prepareToPlay(o.rate, o.block);
    juce::AudioBuffer<float> silence(2, o.block);
    silence.clear();
    juce::MidiBuffer midi;
    plugin.instance->processBlock(silence, midi);
    std::cout << hesko::hosting::describe(plugin);
    plugin.instance->releaseResources();
    return 0;
}

bool readInput(const Options& o, juce::AudioBuffer<float>& audio, double& rate)
{
    if (o.signal.isNotEmpty())
    {
        if (!hesko::hosting::TestSignals::byName(o.signal, o.rate, o.seconds, audio))
        {
            std::cerr << "amberslope-host: unknown signal " << o.signal << " (sweep, pink, drums)\n";
            return false;
        }
        rate = o.rate;
        return true;
    }
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(
        wav.createReaderFor(o.input.createInputStream().release(), true));
    if (reader == nullptr)
    {
        std::cerr << "amberslope-host: cannot read " << o.input.getFullPathName() << " as WAV\n";
        return false;
    }
    const int channels = static_cast<int>(std::min<unsigned int>(2, reader->numChannels));
    audio.setSize(channels, static_cast<int>(reader->lengthInSamples));
    reader->read(&audio, 0, audio.getNumSamples(), 0, true, channels > 1);
    rate = reader->sampleRate;
    return true;
}

bool writeOutput(const juce::File& file, const juce::AudioBuffer<float>& audio, double rate)
{
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(
        wav.createWriterFor(file.createOutputStream().release(), rate,
                            static_cast<unsigned int>(audio.getNumChannels()), 24, {}, 0));
    return writer != nullptr && writer->writeFromAudioSampleBuffer(audio, 0, audio.getNumSamples());
}

int runPicture(const Options& o)
{
    if (o.output == juce::File())
        return usage();
    AmberslopeAudioProcessor processor;
    for (const auto& id : o.settingOrder)
    {
        juce::String error;
        if (!hesko::hosting::setParameterFromText(processor, id, o.settings[id], error))
        {
            std::cerr << "amberslope-host: " << error << "\n";
            return 2;
        }
    }
    std::unique_ptr<juce::AudioProcessorEditor> editor(processor.createEditor());
    const auto image = editor->createComponentSnapshot(editor->getLocalBounds(), true, 1.0f);
    o.output.getParentDirectory().createDirectory();
    o.output.deleteFile();
    juce::FileOutputStream out(o.output);
    if (!out.openedOk() || !juce::PNGImageFormat().writeImageToStream(image, out))
    {
        std::cerr << "amberslope-host: cannot write " << o.output.getFullPathName() << "\n";
        return 1;
    }
    std::cout << "Editor picture: " << o.output.getFullPathName() << " (" << image.getWidth() << " x "
              << image.getHeight() << ")\n";
    return 0;
}

// "Label|lowFrequency=60,lowBoost=10" -> a curve; false when it has no label or a setting lacks "=".
bool parseCurve(const juce::String& text, hesko::hosting::ResponseCurve& curve)
{
    curve.label = text.upToFirstOccurrenceOf("|", false, false).trim();
    if (curve.label.isEmpty())
        return false;
    for (const auto& setting :
         juce::StringArray::fromTokens(text.fromFirstOccurrenceOf("|", false, false), ",", ""))
    {
        if (setting.trim().isEmpty())
            continue;
        if (!setting.contains("="))
            return false;
        curve.settings.push_back({setting.upToFirstOccurrenceOf("=", false, false).trim(),
                                  setting.fromFirstOccurrenceOf("=", false, false).trim()});
    }
    return true;
}

// Measures every curve of a family through a fresh instance each and writes BASE.png and BASE.csv.
bool measureAndWrite(const Options& o, hesko::hosting::ResponseFamily family, const juce::File& base)
{
    const auto frequencies = hesko::hosting::responseFrequencies(o.rate);
    for (auto& curve : family.curves)
    {
        auto plugin = load(o);
        if (plugin.instance == nullptr)
            return false;
        for (const auto& [id, value] : curve.settings)
        {
            juce::String error;
            if (!hesko::hosting::setParameterFromText(*plugin.instance, id, value, error))
            {
                std::cerr << "amberslope-host: " << curve.label << ": " << error << "\n";
                return false;
            }
        }
        curve.db = hesko::hosting::measureMagnitudeDb(*plugin.instance, o.rate, frequencies);
    }
    base.getParentDirectory().createDirectory();
    const auto png = base.withFileExtension("png");
    const auto csv = base.withFileExtension("csv");
    png.deleteFile();
    juce::FileOutputStream out(png);
    const auto image = hesko::hosting::drawResponsePlot(family.title, frequencies, family.curves, o.rate);
    if (!out.openedOk() || !juce::PNGImageFormat().writeImageToStream(image, out) ||
        !csv.replaceWithText(hesko::hosting::responseCsv(frequencies, family.curves)))
    {
        std::cerr << "amberslope-host: cannot write " << png.getFullPathName() << " or its CSV\n";
        return false;
    }
    std::cout << "Response plot: " << png.getFullPathName() << " (" << family.curves.size()
              << " curves, CSV beside it)\n";
    return true;
}

int runResponse(Options o)
{
    if (o.output == juce::File() || (o.family.isEmpty() == o.curves.isEmpty()))
        return usage();
    if (!o.rateGiven)
        o.rate = 96000.0;
    if (o.family.isNotEmpty())
    {
        bool found = false;
        for (const auto& family : hesko::hosting::classicFamilies())
            if (o.family == "all" || o.family == family.name)
            {
                found = true;
                if (!measureAndWrite(o, family, o.output.getChildFile(family.name)))
                    return 1;
            }
        if (!found)
        {
            std::cerr << "amberslope-host: unknown family " << o.family << " (all, "
                      << hesko::hosting::familyNames() << ")\n";
            return 2;
        }
        return 0;
    }
    hesko::hosting::ResponseFamily family{o.output.getFileName(), o.title, {}};
    if (family.title.isEmpty())
        family.title = "Magnitude response";
    for (const auto& text : o.curves)
    {
        hesko::hosting::ResponseCurve curve;
        if (!parseCurve(text, curve))
        {
            std::cerr << "amberslope-host: a curve is 'LABEL|ID=VALUE,ID=VALUE', not '" << text << "'\n";
            return 2;
        }
        family.curves.push_back(curve);
    }
    return measureAndWrite(o, family, o.output) ? 0 : 1;
}

int runRender(Options o)
{
    if (o.output == juce::File() || (o.signal.isEmpty() && o.input == juce::File()) || o.block < 1)
        return usage();
    juce::AudioBuffer<float> input;
    double rate = o.rate;
    if (!readInput(o, input, rate))
        return 1;
    o.rate = rate;

    auto plugin = load(o);
    if (plugin.instance == nullptr)
        return 1;
    for (const auto& id : o.settingOrder)
    {
        juce::String error;
        if (!hesko::hosting::setParameterFromText(*plugin.instance, id, o.settings[id], error))
        {
            std::cerr << "amberslope-host: " << error << "\n";
            return 2;
        }
    }

    const auto result = hesko::hosting::renderOffline(*plugin.instance, input, rate, o.block);
    if (!writeOutput(o.output, result.output, rate))
    {
        std::cerr << "amberslope-host: cannot write " << o.output.getFullPathName() << "\n";
        return 1;
    }
    const auto db = [](double v)
    { return juce::String(juce::Decibels::gainToDecibels(v, -200.0), 2) + " dBFS"; };
    std::cout << "Rendered " << juce::String(input.getNumSamples() / rate, 2) << " s at " << rate << " Hz, "
              << input.getNumChannels() << " channel(s), blocks of " << o.block << "\n"
              << "Output:        " << o.output.getFullPathName() << "\n"
              << "Peak:          " << db(result.peak) << "\n"
              << "RMS:           " << db(result.rms) << "\n"
              << "Latency:       " << result.latencySamples << " samples\n"
              << "Real time:     " << juce::String(result.realtimeFactor, 1) << "x\n";
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add(argv[i]);

    Options options;
    if (!parse(args, options))
        return usage();
    if (options.command == "info")
        return runInfo(options);
    if (options.command == "render")
        return runRender(options);
    if (options.command == "picture")
        return runPicture(options);
    if (options.command == "response")
        return runResponse(options);
    return usage();
}

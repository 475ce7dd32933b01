// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// What the host-torture tests share: the real VST3 loaded through JUCE's hosting in either precision,
// watched processing (allocations and locks counted on the calling thread), and the checks every
// attack ends with.
#pragma once

#include "../AudioTestSupport.h"
#include "../realtime/AudioThreadCounters.h"
#include "HostedPlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace hesko::test::torture
{

enum class Precision
{
    single,
    twice
};

inline const char* nameOf(Precision p)
{
    return p == Precision::single ? "float" : "double";
}

// The plug-in's binary inside the VST3 bundle, by file name.
inline const char* moduleFileName()
{
    static const auto name = juce::File(AMBERSLOPE_VST3_BUNDLE).getFileNameWithoutExtension() + ".so";
    return name.toRawUTF8();
}

// Counts only what happens inside the plug-in's own processing functions, found by name in the
// module's symbol table: the host and JUCE's VST3 wrapper around them (which takes the processor's
// callback lock and makes a small allocation for every block) are not ours to answer for. False
// while the module is not loaded or its symbols cannot be read.
inline bool countOnlyThePluginsOwnProcessing()
{
    const auto base = audio_thread::moduleLoadAddress(moduleFileName());
    if (base == 0)
        return false;
    static const auto symbols = []
    {
        const juce::File bundle(AMBERSLOPE_VST3_BUNDLE);
        const auto binary = bundle.getChildFile("Contents/x86_64-linux").getChildFile(moduleFileName());
        juce::ChildProcess nm;
        std::vector<audio_thread::CodeRange> found;
        if (!nm.start(juce::StringArray{"nm", "-S", "-C", binary.getFullPathName()}))
            return found;
        for (const auto& line : juce::StringArray::fromLines(nm.readAllProcessOutput()))
            if (line.contains(" AmberslopeAudioProcessor::processAudio<"))
            {
                const auto fields = juce::StringArray::fromTokens(line, " ", "");
                const auto offset = static_cast<std::uintptr_t>(fields[0].getHexValue64());
                const auto size = static_cast<std::uintptr_t>(fields[1].getHexValue64());
                found.push_back({offset, offset + size});
            }
        return found;
    }();
    if (symbols.size() != 2) // the float and the double processing
        return false;
    std::vector<audio_thread::CodeRange> ranges;
    for (const auto& r : symbols)
        ranges.push_back({base + r.begin, base + r.end});
    audio_thread::countOnlyCallsWithin(ranges.data(), static_cast<int>(ranges.size()));
    return true;
}

// Calls `run` with a sample of the precision's type (float{} or double{}), for tests written once
// as a generic lambda over the sample type.
template <typename Run> void inPrecision(Precision precision, Run&& run)
{
    if (precision == Precision::single)
        run(float{});
    else
        run(double{});
}

// Message thread. The plug-in, loaded, set and prepared for `precision`, stereo. Offline, a change
// is compiled within the next block instead of whenever the worker runs.
inline hosting::HostedPlugin loadHosted(Precision precision, double rate, int block,
                                        const Settings& settings = {}, bool offline = false)
{
    juce::String error;
    auto plugin = hosting::HostedPlugin::load(juce::File(AMBERSLOPE_VST3_BUNDLE), rate, block, error);
    EXPECT_NE(plugin.instance, nullptr) << error;
    EXPECT_TRUE(countOnlyThePluginsOwnProcessing());
    if (plugin.instance != nullptr)
    {
        plugin.instance->setProcessingPrecision(precision == Precision::twice
                                                    ? juce::AudioProcessor::doublePrecision
                                                    : juce::AudioProcessor::singlePrecision);
        plugin.instance->setNonRealtime(offline);
        applySettings(*plugin.instance, settings);
        plugin.instance->prepareToPlay(rate, block);
    }
    return plugin;
}

// The level in dB of each tone (integer hertz, so a one-second window holds whole periods) in
// `out` over one second from `start`, relative to `amplitude`.
inline std::vector<double> toneLevelsDb(const std::vector<double>& out, std::size_t start, double rate,
                                        const std::vector<double>& frequencies, double amplitude)
{
    const auto window = static_cast<std::size_t>(rate);
    std::vector<double> levels;
    for (double f : frequencies)
    {
        std::complex<double> sum = 0.0;
        for (std::size_t n = start; n < start + window && n < out.size(); ++n)
            sum += out[n] * std::polar(1.0, -2.0 * std::numbers::pi * f * static_cast<double>(n) / rate);
        levels.push_back(20.0 * std::log10(2.0 * std::abs(sum) / static_cast<double>(window) / amplitude));
    }
    return levels;
}

inline std::vector<double> asDoubles(const std::vector<float>& x)
{
    return {x.begin(), x.end()};
}

// A sample an audio path may put out: finite and not subnormal.
template <typename Sample> bool isClean(Sample v)
{
    return std::isfinite(v) && (v == Sample(0) || std::abs(v) >= std::numeric_limits<Sample>::min());
}

// The first unclean sample of a buffer as "channel c, sample i: value", or empty.
template <typename Sample> std::string firstUnclean(const juce::AudioBuffer<Sample>& buffer)
{
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (!isClean(buffer.getSample(ch, i)))
                return "channel " + std::to_string(ch) + ", sample " + std::to_string(i) + ": " +
                       std::to_string(static_cast<double>(buffer.getSample(ch, i)));
    return {};
}

// Any thread: one block with this thread's allocations and locks counted.
template <typename Sample>
void processWatched(juce::AudioProcessor& processor, juce::AudioBuffer<Sample>& buffer,
                    juce::MidiBuffer& midi)
{
    const audio_thread::Watch watch;
    processor.processBlock(buffer, midi);
}

// Streams a mono signal (copied to both channels) through the processor in blocks whose lengths come
// from `nextLength` (a length of 0 is a real empty block), watched; returns the left output.
template <typename Sample, typename NextLength>
std::vector<double> stream(juce::AudioProcessor& processor, const std::vector<double>& input, int maximum,
                           NextLength nextLength, std::string* unclean = nullptr)
{
    std::vector<double> out;
    out.reserve(input.size());
    juce::AudioBuffer<Sample> buffer(2, std::max(maximum, 1));
    juce::MidiBuffer midi;
    std::size_t at = 0;
    while (at < input.size())
    {
        const int length = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(nextLength()), input.size() - at));
        buffer.setSize(2, length, false, false, true);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < length; ++i)
                buffer.setSample(ch, i, static_cast<Sample>(input[at + static_cast<std::size_t>(i)]));
        processWatched(processor, buffer, midi);
        if (unclean != nullptr && unclean->empty())
            *unclean = firstUnclean(buffer);
        for (int i = 0; i < length; ++i)
            out.push_back(static_cast<double>(buffer.getSample(0, i)));
        at += static_cast<std::size_t>(length);
    }
    return out;
}

// The delay of an impulse response in samples: its phase delay at `frequency`, low enough that the
// over-samplers' IIR filters are at their low-frequency delay and high enough that the amplifier's
// coupling high-passes no longer turn the phase.
inline double phaseDelay(const std::vector<double>& response, std::size_t impulseAt, double frequency,
                         double rate)
{
    const double w = 2.0 * std::numbers::pi * frequency / rate;
    std::complex<double> h = 0.0;
    for (std::size_t i = impulseAt; i < response.size(); ++i)
        h += response[i] * std::polar(1.0, -w * static_cast<double>(i - impulseAt));
    return -std::arg(h) / w;
}

// A host's audio thread: from construction until stop(), blocks of a sine (0.2, about 1.1 kHz at
// 48 kHz) go through the plug-in one after another, watched, and the first unclean sample is kept.
template <typename Sample> class BackgroundAudio
{
public:
    BackgroundAudio(juce::AudioProcessor& processor, int block)
    {
        audio_thread::resetCounts();
        thread = std::thread(
            [this, &processor, block]
            {
                juce::AudioBuffer<Sample> buffer(2, block);
                juce::MidiBuffer midi;
                for (int b = 0; !stopping.load(); ++b)
                {
                    for (int ch = 0; ch < 2; ++ch)
                        for (int i = 0; i < block; ++i)
                            buffer.setSample(ch, i,
                                             static_cast<Sample>(0.2 * std::sin(0.15 * (i + block * b))));
                    processWatched(processor, buffer, midi);
                    if (firstProblem.empty())
                        firstProblem = firstUnclean(buffer);
                }
            });
    }
    ~BackgroundAudio() { stop(); }

    // Joins the audio thread; then returns the first unclean sample seen, or empty.
    const std::string& stop()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
        return firstProblem;
    }

private:
    std::atomic<bool> stopping{false};
    std::string firstProblem;
    std::thread thread;
};

// Expects the watched calls since the last reset to have neither allocated nor locked.
inline void expectNoAllocationOrLock(const char* what)
{
    const auto seen = audio_thread::counts();
    EXPECT_EQ(seen.allocations, 0) << what << ": allocations inside processBlock";
    EXPECT_EQ(seen.deallocations, 0) << what << ": frees inside processBlock";
    EXPECT_EQ(seen.locks, 0) << what << ": mutex locks inside processBlock";
}

} // namespace hesko::test::torture

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// Automation as strict hosts send it, through the real VST3: changes between 32-sample sub-blocks,
// changes from the message thread while the audio thread runs, how soon a change is heard, and how
// large the step a cross-fade can put into the audio.
#include "HostTortureSupport.h"

#include "dsp/circuit/RealtimeEqp1aPassiveEq.h"

#include <atomic>
#include <chrono>
#include <iostream>
#include <random>
#include <thread>

namespace
{
using namespace hesko::test::torture;
using hesko::test::Settings;
namespace counters = hesko::test::audio_thread;

constexpr double rate = 48000.0;
const std::vector<double> probeTones{97.0, 1009.0, 6007.0};

std::vector<double> probeSignal(std::size_t length, double amplitude = 0.05)
{
    return asDoubles(hesko::test::tone(rate, probeTones, amplitude, length));
}

// A random host value for a random parameter other than the analog noise switch (kept off, so the
// final comparison is exact to the noise floor).
void changeSomething(juce::AudioProcessor& plugin, std::mt19937& rng)
{
    const int noise = hesko::test::parameterIndex("analogNoise");
    int index = static_cast<int>(rng() % 11);
    if (index == noise)
        index = (index + 1) % 11;
    plugin.getParameters()[index]->setValueNotifyingHost(
        std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
}

// The tone levels a fresh instance with the same eleven parameter values settles at.
std::vector<double> freshLevelsLike(juce::AudioProcessor& plugin, Precision precision)
{
    auto fresh = loadHosted(precision, rate, 512, {}, true);
    if (fresh.instance == nullptr)
        return {};
    for (int i = 0; i < 11; ++i)
        fresh.instance->getParameters()[i]->setValueNotifyingHost(plugin.getParameters()[i]->getValue());
    const auto input = probeSignal(static_cast<std::size_t>(2 * rate));
    const auto out = precision == Precision::single
                         ? stream<float>(*fresh.instance, input, 512, [] { return 512; })
                         : stream<double>(*fresh.instance, input, 512, [] { return 512; });
    return toneLevelsDb(out, static_cast<std::size_t>(rate), rate, probeTones, 0.05);
}

void expectSameLevels(const std::vector<double>& measured, const std::vector<double>& expected)
{
    ASSERT_EQ(measured.size(), expected.size());
    for (std::size_t k = 0; k < measured.size(); ++k)
        EXPECT_NEAR(measured[k], expected[k], 0.05)
            << probeTones[k] << " Hz: the last setting is the one heard";
}

class Vst3Automation : public testing::TestWithParam<Precision>
{
};

template <typename Sample> void randomChangesBetweenSubBlocks(Precision precision)
{
    // The host announces 512 but splits its blocks at every automation point, 32 samples apart.
    auto plugin = loadHosted(precision, rate, 512);
    ASSERT_NE(plugin.instance, nullptr);
    auto& instance = *plugin.instance;
    const auto seconds = 4.0;
    const auto input = probeSignal(static_cast<std::size_t>((seconds + 2.0) * rate));
    std::mt19937 rng(23);
    std::size_t position = 0;
    std::string unclean;
    counters::resetCounts();
    const auto out = stream<Sample>(
        instance, input, 512,
        [&]
        {
            if (static_cast<double>(position) < seconds * rate)
                changeSomething(instance, rng);
            position += 32;
            return 32;
        },
        &unclean);
    expectNoAllocationOrLock("automation between sub-blocks");
    EXPECT_EQ(unclean, "");
    double peak = 0.0;
    for (double v : out)
        peak = std::max(peak, std::abs(v));
    // Three tones of 0.05 with at most +20 dB of boost and +12 dB of trim stay well below 10.
    EXPECT_LT(peak, 10.0);
    expectSameLevels(
        toneLevelsDb(out, static_cast<std::size_t>((seconds + 1.0) * rate), rate, probeTones, 0.05),
        freshLevelsLike(instance, precision));
}

TEST_P(Vst3Automation, RandomChangesBetween32SampleSubBlocksStayCleanAndEndOnTheLastSetting)
{
    inPrecision(GetParam(), [](auto sample) { randomChangesBetweenSubBlocks<decltype(sample)>(GetParam()); });
}

template <typename Sample> void changesFromTheMessageThread(Precision precision)
{
    auto plugin = loadHosted(precision, rate, 256);
    ASSERT_NE(plugin.instance, nullptr);
    auto& instance = *plugin.instance;
    const auto capacity = static_cast<std::size_t>(30 * rate);
    const auto input = probeSignal(capacity);
    std::vector<double> out(capacity, 0.0);
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> written{0};
    std::string unclean;

    counters::resetCounts();
    std::thread audio(
        [&]
        {
            juce::AudioBuffer<Sample> buffer(2, 256);
            juce::MidiBuffer midi;
            // Real time, as a sound card's callback: each block waits for its moment.
            const auto started = std::chrono::steady_clock::now();
            for (std::size_t at = 0; !stop.load() && at + 256 <= capacity; at += 256)
            {
                std::this_thread::sleep_until(started +
                                              std::chrono::duration<double>(static_cast<double>(at) / rate));
                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < 256; ++i)
                        buffer.setSample(ch, i, static_cast<Sample>(input[at + static_cast<std::size_t>(i)]));
                processWatched(instance, buffer, midi);
                if (unclean.empty())
                    unclean = firstUnclean(buffer);
                for (int i = 0; i < 256; ++i)
                    out[at + static_cast<std::size_t>(i)] = static_cast<double>(buffer.getSample(0, i));
                written.store(at + 256);
            }
        });

    // The message thread automates for two seconds, keeping its own loop running as a host's does.
    std::mt19937 rng(31);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until)
    {
        changeSomething(instance, rng);
        juce::MessageManager::getInstance()->runDispatchLoopUntil(1);
    }
    // Then two more seconds of audio on the last setting.
    const std::size_t lastChange = written.load();
    while (written.load() < lastChange + static_cast<std::size_t>(2 * rate) &&
           written.load() + 256 <= capacity)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    audio.join();

    expectNoAllocationOrLock("automation from the message thread");
    EXPECT_EQ(unclean, "");
    ASSERT_GE(written.load(), lastChange + static_cast<std::size_t>(2 * rate)) << "the audio thread kept up";
    expectSameLevels(
        toneLevelsDb(out, written.load() - static_cast<std::size_t>(rate), rate, probeTones, 0.05),
        freshLevelsLike(instance, precision));
}

TEST_P(Vst3Automation, ChangesFromTheMessageThreadWhileTheAudioThreadRunsAllArrive)
{
    inPrecision(GetParam(), [](auto sample) { changesFromTheMessageThread<decltype(sample)>(GetParam()); });
}

INSTANTIATE_TEST_SUITE_P(Precisions, Vst3Automation, testing::Values(Precision::single, Precision::twice),
                         [](const auto& info) { return std::string(nameOf(info.param)); });

// Offline renders of one setting throughout, and of a switch from `a` to `b` at block `switchBlock`.
struct SwitchRenders
{
    std::vector<double> a, b, switched;
};

SwitchRenders renderSwitch(const Settings& a, const Settings& b, const std::vector<double>& input, int block,
                           std::size_t switchBlock)
{
    SwitchRenders r;
    const auto fixed = [&](const Settings& s)
    {
        auto plugin = loadHosted(Precision::twice, rate, block, s, true);
        return stream<double>(*plugin.instance, input, block, [&] { return block; });
    };
    r.a = fixed(a);
    r.b = fixed(b);
    auto plugin = loadHosted(Precision::twice, rate, block, a, true);
    std::size_t blocks = 0;
    r.switched = stream<double>(*plugin.instance, input, block,
                                [&]
                                {
                                    if (blocks++ == switchBlock)
                                        hesko::test::applySettings(*plugin.instance, b);
                                    return block;
                                });
    return r;
}

double largestStep(const std::vector<double>& x, std::size_t from, std::size_t to)
{
    double step = 0.0;
    for (std::size_t n = std::max<std::size_t>(from, 1); n < to; ++n)
        step = std::max(step, std::abs(x[n] - x[n - 1]));
    return step;
}

double largestDifference(const std::vector<double>& x, const std::vector<double>& y, std::size_t from,
                         std::size_t to)
{
    double d = 0.0;
    for (std::size_t n = from; n < to; ++n)
        d = std::max(d, std::abs(x[n] - y[n]));
    return d;
}

// The click bound. A linear 5 ms cross-fade from output a to output b that differ by at most D adds
// at most D / L to any sample-to-sample step, L being the fade's length in host samples; the incoming
// circuit starts from the running state, so its own output joins without a jump. So around a change
// no step of the output may exceed the larger of the two settled outputs' largest steps by more than
// D / L, give or take 10 % of D / L and 1e-6 for the over-samplers smearing the fade.
TEST(Vst3Automation, NoFadeStepsFurtherThanTheSettledDifferenceSpreadOverTheFadeAllows)
{
    const struct
    {
        const char* name;
        Settings a, b;
    } cases[] = {
        {"low boost 0 to 10 at 100 Hz",
         {{"lowFrequency", 3.0f}},
         {{"lowFrequency", 3.0f}, {"lowBoost", 10.0f}}},
        {"high boost 10 to 0, narrow",
         {{"highBoost", 10.0f}, {"highBandwidth", 0.0f}},
         {{"highBandwidth", 0.0f}}},
        {"high atten 0 to 10 at 5 kHz",
         {{"highAttenFrequency", 0.0f}},
         {{"highAttenFrequency", 0.0f}, {"highAtten", 10.0f}}},
        {"EQ In on to off",
         {{"lowBoost", 8.0f}, {"highBoost", 6.0f}},
         {{"lowBoost", 8.0f}, {"highBoost", 6.0f}, {"eqIn", 0.0f}}},
        {"low frequency 20 to 100 Hz at boost 10",
         {{"lowFrequency", 0.0f}, {"lowBoost", 10.0f}},
         {{"lowFrequency", 3.0f}, {"lowBoost", 10.0f}}},
    };
    const int block = 64;
    const std::size_t switchBlock = 300; // 0.4 s in, long past the over-samplers' start-up
    const auto switchAt = switchBlock * static_cast<std::size_t>(block);
    const auto fade = static_cast<std::size_t>(0.005 * rate);
    const auto input = probeSignal(switchAt + static_cast<std::size_t>(0.2 * rate), 0.1);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto r = renderSwitch(c.a, c.b, input, block, switchBlock);
        // The fade and what follows it, until the incoming circuit has long settled.
        const std::size_t from = switchAt;
        const std::size_t to = switchAt + 4 * fade;
        EXPECT_EQ(largestDifference(r.switched, r.a, 0, switchAt), 0.0)
            << "nothing changes before the change";
        const double d = largestDifference(r.a, r.b, from, to);
        const double settledStep = std::max(largestStep(r.a, from, to), largestStep(r.b, from, to));
        const double allowed = settledStep + 1.1 * d / static_cast<double>(fade) + 1e-6;
        const double step = largestStep(r.switched, from, to);
        EXPECT_LE(step, allowed) << "settled step " << settledStep << ", settled difference " << d;
        std::cout << c.name << ": largest step " << step << " of " << allowed << " allowed (settled step "
                  << settledStep << ", difference " << d << ")\n";
        EXPECT_GT(d, 1e-3) << "the two settings differ audibly";
    }
}

// From the moment a host hands a change to the plug-in, the design allows one worker poll (2 ms) and
// the circuit's compilation before the next block takes the new circuit, then the 5 ms fade. The test
// plays in real time and measures in samples; the compilation is timed on this machine beforehand, and
// 5 ms is added for scheduling on a loaded machine.
TEST(Vst3Automation, AChangeIsHeardWithinAPollABlockAndTheFade)
{
    const int block = 256;
    const Settings a{{"highAttenFrequency", 0.0f}};
    const Settings b{{"highAttenFrequency", 0.0f}, {"highAtten", 10.0f}};
    const auto total = static_cast<std::size_t>(1.5 * rate);
    const auto input = probeSignal(total, 0.1);
    const std::size_t changeBlock = 160; // 0.85 s in

    const auto settled = [&](const Settings& s)
    {
        auto plugin = loadHosted(Precision::single, rate, block, s, true);
        return stream<float>(*plugin.instance, input, block, [&] { return block; });
    };
    const auto yA = settled(a);
    const auto yB = settled(b);

    // How long one compilation of the new circuit takes here, the slowest of a few.
    double compileSeconds = 0.0;
    {
        AmberslopeAudioProcessor reference;
        hesko::test::applySettings(reference, b);
        const auto record = hesko::test::requestedRecord(reference);
        hesko::dsp::circuit::RealtimeEqp1aPassiveEq eq;
        for (int i = 0; i < 5; ++i)
        {
            const auto started = std::chrono::steady_clock::now();
            eq.prepare(4 * rate, record);
            compileSeconds =
                std::max(compileSeconds,
                         std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        }
    }

    auto plugin = loadHosted(Precision::single, rate, block, a, false);
    ASSERT_NE(plugin.instance, nullptr);
    auto& instance = *plugin.instance;
    std::vector<double> out;
    std::size_t blocks = 0;
    const auto blockDuration = std::chrono::duration<double>(block / rate);
    const auto started = std::chrono::steady_clock::now();
    out = stream<float>(instance, input, block,
                        [&]
                        {
                            // Real time: each block waits for its moment, as a sound card's would.
                            std::this_thread::sleep_until(started +
                                                          blockDuration * static_cast<double>(blocks));
                            if (blocks++ == changeBlock)
                                hesko::test::applySettings(instance, b);
                            return block;
                        });

    const std::size_t changedAt = changeBlock * static_cast<std::size_t>(block);
    const double d = largestDifference(yA, yB, changedAt, total);
    ASSERT_GT(d, 1e-2);
    EXPECT_EQ(largestDifference(out, yA, 0, changedAt), 0.0);
    // The last sample still off the new setting's output by more than 2 % of the difference.
    std::size_t lastOff = changedAt;
    for (std::size_t n = changedAt; n < total; ++n)
        if (std::abs(out[n] - yB[n]) > 0.02 * d)
            lastOff = n;
    const double allowedSeconds = 0.002 + compileSeconds + 0.005 + block / rate + 0.005;
    EXPECT_LE(static_cast<double>(lastOff - changedAt) / rate, allowedSeconds)
        << "compilation took " << compileSeconds * 1000.0 << " ms";
    std::cout << "heard in full after " << static_cast<double>(lastOff - changedAt) / rate * 1000.0
              << " ms of " << allowedSeconds * 1000.0 << " ms allowed\n";
    EXPECT_GT(lastOff, changedAt) << "the change was not instant: it faded";
}
} // namespace

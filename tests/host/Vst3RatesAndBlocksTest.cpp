// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// Every sample rate a host may choose, common or odd, with every block pattern a host may send, in
// both precisions, through the real VST3: clean output, the latency the plug-in reports, silence for
// silence, and no allocation or lock on the audio thread.
#include "HostTortureSupport.h"

#include <functional>
#include <random>

namespace
{
using namespace hesko::test::torture;
namespace counters = hesko::test::audio_thread;

struct BlockPattern
{
    const char* name;
    int announced;                          // the maximum block size the host announces
    std::function<int(std::mt19937&)> next; // the length of each block it then sends
};

std::vector<BlockPattern> blockPatterns()
{
    std::vector<BlockPattern> patterns;
    for (int size : {1, 2, 3, 17, 64, 512, 1024, 4096})
        patterns.push_back({"fixed", size, [size](std::mt19937&) { return size; }});
    // Empty blocks between real ones, as hosts send while transport is stopped or at loop points.
    patterns.push_back({"empty between 64s", 64,
                        [toggle = false](std::mt19937&) mutable { return (toggle = !toggle) ? 0 : 64; }});
    patterns.push_back(
        {"random up to the maximum", 1024, [](std::mt19937& rng) { return static_cast<int>(rng() % 1025); }});
    return patterns;
}

struct RateCase
{
    double rate;
    Precision precision;
};

std::string caseName(const testing::TestParamInfo<RateCase>& info)
{
    // 1234.5678 -> "1234_5678", 48000 -> "48000"
    auto rate = juce::String(info.param.rate, 4).trimCharactersAtEnd("0").trimCharactersAtEnd(".");
    return std::string(nameOf(info.param.precision)) + "_" + rate.replaceCharacter('.', '_').toStdString();
}

class Vst3RatesAndBlocks : public testing::TestWithParam<RateCase>
{
};

template <typename Sample> void attackEveryBlockPattern(double rate, Precision precision)
{
    auto plugin = loadHosted(precision, rate, 512);
    ASSERT_NE(plugin.instance, nullptr);
    auto& instance = *plugin.instance;
    std::mt19937 rng(17);

    const auto length = static_cast<std::size_t>(std::max(8192.0, 0.1 * rate));
    const std::size_t impulseAt = 100;
    std::vector<double> impulse(length, 0.0);
    impulse[impulseAt] = 0.5;
    std::vector<double> noise(length);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    for (auto& v : noise)
        v = uniform(rng);
    const std::vector<double> silence(length, 0.0);
    // A twentieth of the rate: the over-samplers' delay is still their low-frequency one there.
    const double probe = rate / 20.0;

    for (const auto& pattern : blockPatterns())
    {
        SCOPED_TRACE(std::string(pattern.name) + ", announced " + std::to_string(pattern.announced));
        const auto next = [&] { return pattern.next(rng); };
        std::string unclean;

        // Prepared again each time without a release in between, as hosts do on a rate change.
        instance.prepareToPlay(rate, pattern.announced);
        const auto quiet = stream<Sample>(instance, silence, pattern.announced, next, &unclean);
        EXPECT_EQ(*std::max_element(quiet.begin(), quiet.end(),
                                    [](double a, double b) { return std::abs(a) < std::abs(b); }),
                  0.0)
            << "silence in, noise off: silence out";

        instance.prepareToPlay(rate, pattern.announced);
        counters::resetCounts();
        const auto response = stream<Sample>(instance, impulse, pattern.announced, next, &unclean);
        const double measured = phaseDelay(response, impulseAt, probe, rate);
        EXPECT_NEAR(measured, hesko::hosting::reportedLatency(instance), 0.5)
            << "reported latency against the impulse's delay";

        stream<Sample>(instance, noise, pattern.announced, next, &unclean);
        EXPECT_EQ(unclean, "") << "NaN, infinity or a subnormal in the output";
        expectNoAllocationOrLock(pattern.name);
    }
    instance.releaseResources();
}

TEST_P(Vst3RatesAndBlocks, EveryBlockPatternGivesCleanOutputTheReportedLatencyAndSilenceForSilence)
{
    const auto [rate, precision] = GetParam();
    inPrecision(precision, [&](auto sample) { attackEveryBlockPattern<decltype(sample)>(rate, precision); });
}

std::vector<RateCase> rateCases()
{
    std::vector<RateCase> cases;
    for (auto precision : {Precision::single, Precision::twice})
        for (double rate : {22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0,
                            352800.0, 384000.0, 1234.5678, 12345.678, 123456.78})
            cases.push_back({rate, precision});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Rates, Vst3RatesAndBlocks, testing::ValuesIn(rateCases()), caseName);

// A VST3 host may not exceed the size it announced (and JUCE's own host overruns its buffers when
// asked to), so blocks of twice that size go to the processor object directly: they are processed in
// pieces, sample for sample as the announced size would have been.
template <typename Sample> void twiceTheAnnouncedSize(double rate)
{
    for (int announced : {1, 17, 512})
    {
        SCOPED_TRACE(announced);
        counters::countCallsFromEverywhere(); // the processor object, linked into this program
        AmberslopeAudioProcessor oversized, regular;
        for (auto* p : {&oversized, &regular})
            p->prepareToPlay(rate, announced);
        std::vector<double> input(static_cast<std::size_t>(announced) * 40 + 4000);
        for (std::size_t n = 0; n < input.size(); ++n)
            input[n] = 0.3 * std::sin(0.05 * static_cast<double>(n)) + (n % 97 == 0 ? 0.2 : 0.0);
        counters::resetCounts();
        std::string unclean;
        const auto a = stream<Sample>(
            oversized, input, 2 * announced, [&] { return 2 * announced; }, &unclean);
        const auto b = stream<Sample>(regular, input, announced, [&] { return announced; });
        expectNoAllocationOrLock("blocks of twice the announced size");
        EXPECT_EQ(unclean, "");
        ASSERT_EQ(a.size(), input.size()) << "nothing dropped";
        EXPECT_EQ(a, b);
        EXPECT_GT(*std::max_element(a.begin(), a.end()), 0.1) << "processed, not silenced";
    }
}

TEST(Vst3RatesAndBlocks, BlocksOfTwiceTheAnnouncedSizeAreProcessedNotOverrunOrDropped)
{
    for (double rate : {44100.0, 96000.0, 192000.0, 1234.5678, 123456.78})
    {
        SCOPED_TRACE(rate);
        twiceTheAnnouncedSize<float>(rate);
        twiceTheAnnouncedSize<double>(rate);
    }
}
} // namespace

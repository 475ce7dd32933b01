// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// The LV2 bundle in the hands of the LV2 tools and of the LV2 reference host: lilv sees the plug-in
// under its URI with its eleven parameters, and jalv, running it on JACK's dummy backend, puts out
// what the VST3 renders for the same setting.
#include "../host/HostTortureSupport.h"
#include "ChildProgram.h"

#include <jack/jack.h>

#include <atomic>
#include <regex>

namespace
{
using namespace hesko::test::torture;

const juce::String uri = AMBERSLOPE_LV2_URI;

juce::String runTool(const juce::StringArray& command)
{
    juce::ChildProcess tool;
    if (!tool.start(command))
        return "(cannot start " + command[0] + ")";
    auto output = tool.readAllProcessOutput();
    tool.waitForProcessToFinish(10000);
    return output;
}

class Lv2Tools : public testing::Test
{
protected:
    void SetUp() override
    {
        // Where hosts look for the bundle: only our build's LV2 folder.
        setenv("LV2_PATH",
               juce::File(AMBERSLOPE_LV2_BUNDLE).getParentDirectory().getFullPathName().toRawUTF8(), 1);
    }
};

TEST_F(Lv2Tools, LilvListsThePluginUnderItsUriNotAFilePath)
{
    const auto listed = juce::StringArray::fromLines(runTool({"lv2ls"}).trim());
    EXPECT_EQ(listed, juce::StringArray(uri));
}

TEST_F(Lv2Tools, LilvSeesTheElevenParametersWithTheirRangesAndDefaults)
{
    const auto description = juce::File::createTempFile(".ttl");
    runTool({"lv2info", "-p", description.getFullPathName(), uri});
    const auto turtle = description.loadFileAsString();
    description.deleteFile();
    EXPECT_TRUE(turtle.contains("<" + uri + ">")) << turtle;

    // The parameters' own descriptions, which lilv reads from the bundle beside the plug-in's.
    const auto dsp =
        juce::File(AMBERSLOPE_LV2_BUNDLE).getChildFile("dsp.ttl").loadFileAsString().toStdString();
    AmberslopeAudioProcessor reference;
    int writable = 0;
    for (const auto* id : hesko::parameter_ids::all)
    {
        SCOPED_TRACE(id);
        writable += turtle.contains("<" + uri + ":" + id + ">");
        const std::regex block(
            std::string("plug:") + id +
            "\\s+a lv2:Parameter ;[^]*?lv2:default ([-0-9.e]+) ;\\s*lv2:minimum ([-0-9.e]+) "
            ";\\s*lv2:maximum ([-0-9.e]+)");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(dsp, m, block));
        auto* parameter = reference.parameters.getParameter(id);
        const auto& range = parameter->getNormalisableRange();
        const bool choice = dynamic_cast<juce::AudioParameterChoice*>(parameter) != nullptr;
        const bool toggle = dynamic_cast<juce::AudioParameterBool*>(parameter) != nullptr;
        // Switches are described by position (0 .. positions - 1), the rest in their own units.
        const double minimum = choice || toggle ? 0.0 : range.start;
        const double maximum = choice || toggle ? parameter->getNumSteps() - 1 : range.end;
        const double plainDefault =
            choice || toggle ? std::round(parameter->getDefaultValue() * (parameter->getNumSteps() - 1))
                             : range.convertFrom0to1(parameter->getDefaultValue());
        EXPECT_NEAR(std::stod(m[1]), plainDefault, 1e-4) << "default";
        EXPECT_NEAR(std::stod(m[2]), minimum, 1e-4) << "minimum";
        EXPECT_NEAR(std::stod(m[3]), maximum, 1e-4) << "maximum";
    }
    EXPECT_EQ(writable, 11) << "every parameter is one a host may write";
}

// A JACK client that plays a signal into jalv's inputs and records its outputs.
struct LoopClient
{
    jack_client_t* client = nullptr;
    jack_port_t* out[2]{};
    jack_port_t* in[2]{};
    std::vector<float> signal;
    std::vector<float> recorded;
    std::atomic<bool> playing{false};
    std::atomic<std::size_t> position{0};

    static int process(jack_nframes_t frames, void* self)
    {
        auto& c = *static_cast<LoopClient*>(self);
        float* outs[2] = {static_cast<float*>(jack_port_get_buffer(c.out[0], frames)),
                          static_cast<float*>(jack_port_get_buffer(c.out[1], frames))};
        const auto* ins = static_cast<const float*>(jack_port_get_buffer(c.in[0], frames));
        std::size_t at = c.position.load(std::memory_order_relaxed);
        for (jack_nframes_t i = 0; i < frames; ++i)
        {
            const bool live = c.playing.load(std::memory_order_relaxed) && at < c.signal.size();
            outs[0][i] = outs[1][i] = live ? c.signal[at] : 0.0f;
            if (live)
                c.recorded[at++] = ins[i];
        }
        c.position.store(at, std::memory_order_relaxed);
        return 0;
    }
};

TEST(JalvOnJack, TheLv2PluginInTheReferenceHostMatchesTheVst3InLevel)
{
    const double rate = 48000.0;
    const std::string server = "amberslope-test-" + std::to_string(getpid());
    const std::string logs =
        juce::File::getSpecialLocation(juce::File::tempDirectory).getFullPathName().toStdString();
    hesko::test::ChildProgram jackd(
        {"jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", "48000", "-p", "256"},
        logs + "/amberslope-jackd.log", {"JACK_NO_AUDIO_RESERVATION=1"});
    ASSERT_TRUE(jackd.started());

    LoopClient loop;
    for (int attempt = 0; attempt < 100 && loop.client == nullptr; ++attempt)
    {
        jack_status_t status{};
        loop.client = jack_client_open("amberslope-loop",
                                       static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                       &status, server.c_str());
        if (loop.client == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_NE(loop.client, nullptr) << "no JACK server; see " << logs << "/amberslope-jackd.log";
    ASSERT_EQ(jack_get_sample_rate(loop.client), 48000u);

    // jalv 1.6 cannot set a plug-in's parameters (patch properties) from its console or command line,
    // but it loads a saved state: the setting goes in as one, in the form the LV2 wrapper stores.
    const hesko::test::Settings setting{
        {"lowBoost", 6.0f}, {"highBoost", 4.0f}, {"highAtten", 3.0f}, {"outputGain", -3.0f}};
    const auto stateDirectory = juce::File(AMBERSLOPE_TEST_OUTPUT_DIR).getChildFile("jalv-state");
    {
        AmberslopeAudioProcessor source;
        hesko::test::applySettings(source, setting);
        juce::MemoryBlock state;
        source.getStateInformation(state);
        stateDirectory.createDirectory();
        stateDirectory.getChildFile("manifest.ttl")
            .replaceWithText("@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                             "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                             "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                             "<state.ttl> a pset:Preset ;\n\tlv2:appliesTo <" +
                             uri + "> ;\n\trdfs:seeAlso <state.ttl> .\n");
        stateDirectory.getChildFile("state.ttl")
            .replaceWithText("@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                             "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                             "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                             "<> a pset:Preset ;\n\tlv2:appliesTo <" +
                             uri + "> ;\n\tstate:state [\n\t\t<" + uri + ":StateString> \"" +
                             state.toBase64Encoding() + "\"\n\t] .\n");
    }
    const juce::String lv2Path = juce::File(AMBERSLOPE_LV2_BUNDLE).getParentDirectory().getFullPathName();
    hesko::test::ChildProgram jalv({"jalv", "-x", "-n", "amberslope", "-l",
                                    stateDirectory.getFullPathName().toStdString(), uri.toStdString()},
                                   logs + "/amberslope-jalv.log",
                                   {"JACK_DEFAULT_SERVER=" + server, "LV2_PATH=" + lv2Path.toStdString()});
    ASSERT_TRUE(jalv.started());

    loop.signal = hesko::test::tone(rate, {97.0, 1009.0, 6007.0}, 0.05, static_cast<std::size_t>(4 * rate));
    loop.recorded.assign(loop.signal.size(), 0.0f);
    loop.out[0] = jack_port_register(loop.client, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    loop.out[1] = jack_port_register(loop.client, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    loop.in[0] = jack_port_register(loop.client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    loop.in[1] = jack_port_register(loop.client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(loop.client, &LoopClient::process, &loop);
    ASSERT_EQ(jack_activate(loop.client), 0);

    bool ready = false;
    for (int attempt = 0; attempt < 200 && !ready; ++attempt)
    {
        ready = jack_port_by_name(loop.client, "amberslope:audio_out_2") != nullptr;
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(ready) << "jalv's ports never appeared; see " << logs << "/amberslope-jalv.log";

    for (const auto& [from, to] :
         std::vector<std::pair<const char*, const char*>>{{"amberslope-loop:out_1", "amberslope:audio_in_1"},
                                                          {"amberslope-loop:out_2", "amberslope:audio_in_2"},
                                                          {"amberslope:audio_out_1", "amberslope-loop:in_1"},
                                                          {"amberslope:audio_out_2", "amberslope-loop:in_2"}})
        ASSERT_EQ(jack_connect(loop.client, from, to), 0) << from << " -> " << to;
    loop.playing = true;
    for (int wait = 0; wait < 1000 && loop.position.load() < loop.signal.size(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    jack_deactivate(loop.client);
    jack_client_close(loop.client);
    EXPECT_TRUE(jalv.running()) << "jalv stayed up to the end";
    jalv.stop();
    jackd.stop();
    ASSERT_EQ(loop.position.load(), loop.signal.size()) << "the dummy backend played the whole signal";

    // The same setting and signal through the VST3, offline.
    const std::vector<double> tones{97.0, 1009.0, 6007.0};
    auto vst3 = loadHosted(Precision::single, rate, 256, setting, true);
    ASSERT_NE(vst3.instance, nullptr);
    const auto reference = stream<float>(*vst3.instance, asDoubles(loop.signal), 256, [] { return 256; });
    const auto expected = toneLevelsDb(reference, static_cast<std::size_t>(2 * rate), rate, tones, 0.05);
    const auto heard =
        toneLevelsDb(asDoubles(loop.recorded), static_cast<std::size_t>(2 * rate), rate, tones, 0.05);
    for (std::size_t k = 0; k < tones.size(); ++k)
        EXPECT_NEAR(heard[k], expected[k], 0.1) << tones[k] << " Hz";
    // And the setting really reached jalv's instance: the low boost lifts 97 Hz above 1 kHz.
    EXPECT_GT(heard[0] - heard[1], 3.0);
}
} // namespace

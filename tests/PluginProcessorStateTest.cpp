// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "AudioTestSupport.h"
#include "ParameterIds.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace
{
using hesko::test::setPlain;

// A state block in the framework's wrapper around `xml`; `declaredLength` overrides the length field.
juce::MemoryBlock wrap(const std::string& xml, std::optional<std::int32_t> declaredLength = std::nullopt,
                       std::uint32_t magic = 0x21324356)
{
    juce::MemoryBlock block;
    const auto length = declaredLength.value_or(static_cast<std::int32_t>(xml.size()));
    block.append(&magic, 4);
    block.append(&length, 4);
    block.append(xml.data(), xml.size());
    const char zero = 0;
    block.append(&zero, 1);
    return block;
}

struct StateText
{
    std::string root = "HeskoParameters";
    std::optional<std::string> version = "1";
    std::string seeds = R"( leftNoiseSeed="1234" rightNoiseSeed="5678")";
    std::map<std::string, std::string> values{
        {"analogNoise", "0.0"},        {"eqIn", "1.0"},          {"highAtten", "2.5"},
        {"highAttenFrequency", "2.0"}, {"highBandwidth", "7.0"}, {"highBoost", "3.0"},
        {"highBoostFrequency", "5.0"}, {"lowAtten", "1.5"},      {"lowBoost", "6.0"},
        {"lowFrequency", "1.0"},       {"outputGain", "-3.0"}};
    std::string extraChildren;
    std::set<std::string> omitted;

    std::string xml() const
    {
        std::string text = R"(<?xml version="1.0" encoding="UTF-8"?> <)" + root;
        if (version)
            text += R"( stateVersion=")" + *version + "\"";
        text += seeds + ">";
        for (const auto& [id, value] : values)
            if (!omitted.count(id))
                text += R"(<PARAM id=")" + id + R"(" value=")" + value + R"("/>)";
        return text + extraChildren + "</" + root + ">";
    }
};

// Everything a restore could change.
struct Snapshot
{
    std::vector<float> values;
    std::uint32_t left;
    std::uint32_t right;
    juce::String xml;

    explicit Snapshot(AmberslopeAudioProcessor& p)
        : left(p.getLeftNoiseSeed()), right(p.getRightNoiseSeed()),
          xml(p.parameters.copyState().toXmlString())
    {
        for (const auto* id : hesko::parameter_ids::all)
            values.push_back(p.parameters.getRawParameterValue(id)->load());
    }
    bool operator==(const Snapshot& o) const
    {
        return values == o.values && left == o.left && right == o.right && xml == o.xml;
    }
};

float plain(AmberslopeAudioProcessor& p, const char* id)
{
    return p.parameters.getRawParameterValue(id)->load();
}

TEST(PluginState, SavedBlockLayoutOfAFreshInstance)
{
    AmberslopeAudioProcessor processor;
    juce::MemoryBlock block;
    processor.getStateInformation(block);
    const auto* bytes = static_cast<const unsigned char*>(block.getData());
    ASSERT_GT(block.getSize(), 9u);
    EXPECT_EQ(bytes[0], 0x56);
    EXPECT_EQ(bytes[1], 0x43);
    EXPECT_EQ(bytes[2], 0x32);
    EXPECT_EQ(bytes[3], 0x21);
    std::uint32_t length = 0;
    std::memcpy(&length, bytes + 4, 4);
    EXPECT_EQ(block.getSize(), length + 9u);
    EXPECT_EQ(bytes[block.getSize() - 1], 0);

    const std::string text(reinterpret_cast<const char*>(bytes + 8), length);
    EXPECT_EQ(text.find('\n'), std::string::npos) << "one line";
    const std::string head =
        R"(<?xml version="1.0" encoding="UTF-8"?> <HeskoParameters stateVersion="1" leftNoiseSeed=")" +
        std::to_string(processor.getLeftNoiseSeed()) + R"(" rightNoiseSeed=")" +
        std::to_string(processor.getRightNoiseSeed()) + R"(">)";
    EXPECT_EQ(text.substr(0, head.size()), head);

    const char* sorted[] = {"analogNoise",   "eqIn",         "highAtten",          "highAttenFrequency",
                            "highBandwidth", "highBoost",    "highBoostFrequency", "lowAtten",
                            "lowBoost",      "lowFrequency", "outputGain"};
    std::size_t at = head.size();
    for (const auto* id : sorted)
    {
        const std::string child = std::string(R"(<PARAM id=")") + id + R"(" value=")";
        const auto found = text.find(child, at);
        ASSERT_NE(found, std::string::npos) << id << " in order, id before value";
        at = found + child.size();
    }
    EXPECT_EQ(text.substr(text.size() - 18), "</HeskoParameters>");
}

class PluginStateRestore : public ::testing::Test
{
protected:
    bool restoreChanges(const juce::MemoryBlock& block)
    {
        const Snapshot before(processor);
        processor.setStateInformation(block.getData(), static_cast<int>(block.getSize()));
        return !(Snapshot(processor) == before);
    }
    AmberslopeAudioProcessor processor;
};

TEST_F(PluginStateRestore, MalformedOrForeignStatesChangeNothing)
{
    const auto variant = [](auto change)
    {
        StateText s;
        change(s);
        return wrap(s.xml());
    };
    const auto valid = StateText{}.xml();
    const std::vector<std::pair<const char*, juce::MemoryBlock>> cases{
        {"8 bytes",
         []
         {
             juce::MemoryBlock b = wrap("<a/>");
             b.setSize(8);
             return b;
         }()},
        {"empty", juce::MemoryBlock()},
        {"wrong magic", wrap(valid, std::nullopt, 0x21324357)},
        {"length 0", wrap(valid, 0)},
        {"negative length", wrap(valid, -5)},
        {"not XML", wrap("this is not xml at all <<<")},
        {"other root tag", variant([](auto& s) { s.root = "OtherPlugin"; })},
        {"version 2", variant([](auto& s) { s.version = "2"; })},
        {"version 1.0", variant([](auto& s) { s.version = "1.0"; })},
        {"version -1", variant([](auto& s) { s.version = "-1"; })},
        {"version +1", variant([](auto& s) { s.version = "+1"; })},
        {"version empty", variant([](auto& s) { s.version = ""; })},
        {"version abc", variant([](auto& s) { s.version = "abc"; })},
        {"version beyond 32 bits", variant([](auto& s) { s.version = "4294967297"; })},
        {"value 5x", variant([](auto& s) { s.values["lowBoost"] = "5x"; })},
        {"value empty", variant([](auto& s) { s.values["lowBoost"] = ""; })},
        {"value nan", variant([](auto& s) { s.values["lowBoost"] = "nan"; })},
        {"value inf", variant([](auto& s) { s.values["highBoost"] = "inf"; })},
        {"value 1e999", variant([](auto& s) { s.values["outputGain"] = "1e999"; })},
        {"value 10.5 on 0..10", variant([](auto& s) { s.values["highBandwidth"] = "10.5"; })},
        {"trim below -12", variant([](auto& s) { s.values["outputGain"] = "-12.01"; })},
        {"choice index 4 of 4", variant([](auto& s) { s.values["lowFrequency"] = "4"; })},
        {"duplicated id",
         variant([](auto& s) { s.extraChildren = R"(<PARAM id="lowBoost" value="2.0"/>)"; })},
        {"non-PARAM child with a parameter id",
         variant([](auto& s) { s.extraChildren = R"(<OTHER id="eqIn" value="1.0"/>)"; })},
        {"PARAM without value", variant(
                                    [](auto& s)
                                    {
                                        s.omitted.insert("eqIn");
                                        s.extraChildren = R"(<PARAM id="eqIn"/>)";
                                    })},
        {"id in another letter case", variant(
                                          [](auto& s)
                                          {
                                              s.omitted.insert("eqIn");
                                              s.extraChildren = R"(<PARAM id="EQIN" value="1.0"/>)";
                                          })},
        {"missing parameter", variant([](auto& s) { s.omitted.insert("highAtten"); })},
        // The XML reader would read past the end of text that stops inside a multi-byte character.
        {"text ends inside a UTF-8 sequence", wrap(valid + "\xd3")},
        {"invalid UTF-8 inside", variant([](auto& s) { s.extraChildren = "\xf4<NOTE/>"; })},
        {"overlong UTF-8", variant([](auto& s) { s.extraChildren = "<NOTE a=\"\xc0\xaf\"/>"; })},
        // ... and loop for ever on a processing instruction followed by text inside an element.
        {"processing instruction inside",
         variant([](auto& s) { s.extraChildren = "<NOTE><?x?>text</NOTE>"; })},
        // ... and read one past the end of a text that stops in a malformed character reference.
        {"text ends in a hexadecimal reference", wrap(valid.substr(0, valid.find("<PARAM")) + "<NOTE>&#x")},
        {"hexadecimal reference without digits",
         variant([](auto& s) { s.extraChildren = "<NOTE>&#x;</NOTE>"; })},
        {"hexadecimal reference with a bad digit",
         variant([](auto& s) { s.extraChildren = "<NOTE>&#x4g;</NOTE>"; })},
        {"hexadecimal reference of nine digits",
         variant([](auto& s) { s.extraChildren = "<NOTE>&#x000000041;</NOTE>"; })},
        {"decimal reference without its semicolon",
         variant([](auto& s) { s.extraChildren = "<NOTE>&#65</NOTE>"; })},
        {"reference with neither form", variant([](auto& s) { s.extraChildren = "<NOTE>&#;</NOTE>"; })},
        // ... and parse an unknown entity that starts with "<" as XML out of a string it reads past.
        {"unknown entity holding markup",
         variant([](auto& s) { s.extraChildren = "<NOTE>&<a>b&#x41;c;</NOTE>"; })},
        {"unknown named entity", variant([](auto& s) { s.extraChildren = "<NOTE>&nbsp;</NOTE>"; })},
        {"bare ampersand", variant([](auto& s) { s.extraChildren = "<NOTE>a & b</NOTE>"; })},
    };
    for (const auto& [name, block] : cases)
        EXPECT_FALSE(restoreChanges(block)) << name;
}

TEST_F(PluginStateRestore, AcceptedVariantsRestoreEverything)
{
    const struct
    {
        const char* name;
        std::function<void(StateText&)> change;
        const char* id;
        float expected;
    } cases[] = {
        {"as saved", [](auto&) {}, "lowBoost", 6.0f},
        {"root tag in another case", [](auto& s) { s.root = "heskoPARAMETERS"; }, "lowBoost", 6.0f},
        {"version with spaces", [](auto& s) { s.version = " 1 "; }, "lowBoost", 6.0f},
        {"version 01", [](auto& s) { s.version = "01"; }, "lowBoost", 6.0f},
        {"value 5", [](auto& s) { s.values["highBoost"] = "5"; }, "highBoost", 5.0f},
        {"value 5.0", [](auto& s) { s.values["highBoost"] = "5.0"; }, "highBoost", 5.0f},
        {"value with spaces", [](auto& s) { s.values["highBoost"] = " 5 "; }, "highBoost", 5.0f},
        {"upper bound", [](auto& s) { s.values["highBandwidth"] = "10"; }, "highBandwidth", 10.0f},
        {"lower bound", [](auto& s) { s.values["outputGain"] = "-12"; }, "outputGain", -12.0f},
        {"off the step", [](auto& s) { s.values["lowAtten"] = "3.14159"; }, "lowAtten", 3.14f},
        {"unknown child", [](auto& s) { s.extraChildren = R"(<PARAM id="futureKnob" value="99"/><NOTE/>)"; },
         "lowBoost", 6.0f},
        {"well-formed character references",
         [](auto& s) {
             s.extraChildren =
                 R"(<NOTE a="&#x41;&#65;&#X2f;&quot;">&#x1F600;&#10;&amp;&lt;&gt;&apos;</NOTE>)";
         },
         "lowBoost", 6.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        AmberslopeAudioProcessor p;
        StateText s;
        c.change(s);
        const auto block = wrap(s.xml());
        p.setStateInformation(block.getData(), static_cast<int>(block.getSize()));
        EXPECT_NEAR(plain(p, c.id), c.expected, 0.006f);
        EXPECT_EQ(plain(p, "lowFrequency"), 1.0f);
        EXPECT_EQ(plain(p, "highAttenFrequency"), 2.0f);
        EXPECT_EQ(p.getLeftNoiseSeed(), 1234u);
        EXPECT_EQ(p.getRightNoiseSeed(), 5678u);
        EXPECT_EQ(static_cast<int>(p.parameters.state.getProperty("stateVersion")), 1);
    }

    // The unknown child stays in the tree.
    StateText s;
    s.extraChildren = R"(<PARAM id="futureKnob" value="99"/>)";
    const auto block = wrap(s.xml());
    processor.setStateInformation(block.getData(), static_cast<int>(block.getSize()));
    EXPECT_TRUE(processor.parameters.state.getChildWithProperty("id", "futureKnob").isValid());
}

TEST_F(PluginStateRestore, AVersionZeroStateIsUpgraded)
{
    StateText s;
    s.version.reset();
    const auto block = wrap(s.xml());
    processor.setStateInformation(block.getData(), static_cast<int>(block.getSize()));
    EXPECT_EQ(plain(processor, "lowBoost"), 6.0f);
    EXPECT_TRUE(processor.parameters.state.getProperty("stateVersion").isInt());
    EXPECT_EQ(static_cast<int>(processor.parameters.state.getProperty("stateVersion")), 1);
}

TEST_F(PluginStateRestore, ALengthBeyondTheDataIsCutToTheData)
{
    const auto text = StateText{}.xml();
    auto block = wrap(text, static_cast<std::int32_t>(text.size() + 5000));
    processor.setStateInformation(block.getData(), static_cast<int>(block.getSize()));
    EXPECT_EQ(plain(processor, "lowBoost"), 6.0f);
}

TEST_F(PluginStateRestore, BrokenOrMissingSeedsKeepTheInstancesOwnAndRecordThem)
{
    const std::pair<const char*, std::string> cases[] = {
        {"left seed 0", R"( leftNoiseSeed="0" rightNoiseSeed="5678")"},
        {"negative", R"( leftNoiseSeed="-7" rightNoiseSeed="5678")"},
        {"beyond 32 bits", R"( leftNoiseSeed="4294967296" rightNoiseSeed="5678")"},
        {"missing", R"( rightNoiseSeed="5678")"},
    };
    for (const auto& [name, seeds] : cases)
    {
        SCOPED_TRACE(name);
        AmberslopeAudioProcessor p;
        const auto own = p.getLeftNoiseSeed();
        StateText s;
        s.seeds = seeds;
        const auto block = wrap(s.xml());
        p.setStateInformation(block.getData(), static_cast<int>(block.getSize()));
        EXPECT_EQ(plain(p, "lowBoost"), 6.0f) << "seeds never reject a state";
        EXPECT_EQ(p.getLeftNoiseSeed(), own);
        EXPECT_EQ(static_cast<juce::int64>(p.parameters.state.getProperty("leftNoiseSeed")),
                  static_cast<juce::int64>(own));
        EXPECT_EQ(p.getRightNoiseSeed(), 5678u);
    }
}

TEST(PluginState, RoundTripCarriesParametersAndNoiseSeeds)
{
    AmberslopeAudioProcessor original;
    setPlain(original, "lowBoost", 7.25f);
    setPlain(original, "highBoostFrequency", 5.0f);
    setPlain(original, "analogNoise", 1.0f);
    setPlain(original, "outputGain", -4.5f);
    juce::MemoryBlock saved;
    original.getStateInformation(saved);

    AmberslopeAudioProcessor copy;
    ASSERT_NE(copy.getLeftNoiseSeed(), original.getLeftNoiseSeed());
    copy.setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    for (const auto* id : hesko::parameter_ids::all)
        EXPECT_EQ(plain(copy, id), plain(original, id)) << id;
    EXPECT_EQ(copy.getLeftNoiseSeed(), original.getLeftNoiseSeed());
    EXPECT_EQ(copy.getRightNoiseSeed(), original.getRightNoiseSeed());

    juce::MemoryBlock resaved;
    copy.getStateInformation(resaved);
    EXPECT_EQ(resaved, saved) << "a restored instance saves the same bytes";

    // After the next prepare both produce the same noise, sample for sample.
    original.prepareToPlay(192000.0, 256);
    copy.prepareToPlay(192000.0, 256);
    const std::vector<float> silence(256 * 8, 0.0f);
    const auto a = hesko::test::render<float>(original, silence, 2, 256);
    const auto b = hesko::test::render<float>(copy, silence, 2, 256);
    EXPECT_EQ(a, b);
    EXPECT_NE(a[0], a[1]) << "the channels hiss independently";
    EXPECT_NE(a[0][100], 0.0);
}

TEST(PluginState, RestoredSeedsRestartTheNoiseAtTheNextBlock)
{
    AmberslopeAudioProcessor source, target, reference;
    for (auto* p : {&source, &target, &reference})
    {
        setPlain(*p, "analogNoise", 1.0f);
        p->prepareToPlay(192000.0, 256);
    }
    const std::vector<float> silence(256, 0.0f);
    hesko::test::render<float>(target, silence, 2, 256); // target is running its own noise
    juce::MemoryBlock saved;
    source.getStateInformation(saved);
    target.setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    reference.setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    reference.reset();
    // The next block re-seeds the target's amplifiers from the source's seeds without clearing their
    // signal state: the same noise, plus the slow decay of what the DC blocker held.
    const auto a = hesko::test::render<double>(target, silence, 2, 256);
    const auto b = hesko::test::render<double>(reference, silence, 2, 256);
    for (int ch = 0; ch < 2; ++ch)
        for (std::size_t i = 1; i < a[0].size(); ++i)
        {
            const double step = (a[ch][i] - b[ch][i]) - (a[ch][i - 1] - b[ch][i - 1]);
            ASSERT_LT(std::abs(step), 1e-9) << "channel " << ch << ", sample " << i;
        }
    EXPECT_NE(a[0][10], 0.0);
}
} // namespace

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PluginProcessor.h"

#include "ControlLabels.h"
#include "ParameterIds.h"
#include "PluginEditor.h"
#include "dsp/Controls.h"
#include "dsp/NoiseSeeds.h"

namespace
{
namespace ids = hesko::parameter_ids;
using hesko::control_profile::labelsFor;
using hesko::control_profile::Names;
using hesko::dsp::eqp1a_profile::Controls;

// Instances are numbered from 1 in creation order across the whole process.
std::atomic<std::uint64_t> nextNoiseInstanceId{1};

std::unique_ptr<juce::AudioParameterFloat> makeFloat(const char* id, const char* name, float minimum,
                                                     float maximum, float defaultValue)
{
    return std::make_unique<juce::AudioParameterFloat>(
        juce::ParameterID{id}, name, juce::NormalisableRange<float>(minimum, maximum, 0.01f, 1.0f),
        defaultValue);
}

std::unique_ptr<juce::AudioParameterChoice> makeChoice(const char* id, const char* name,
                                                       const juce::StringArray& labels, int defaultIndex)
{
    return std::make_unique<juce::AudioParameterChoice>(juce::ParameterID{id}, name, labels, defaultIndex);
}
} // namespace

juce::AudioProcessorValueTreeState::ParameterLayout AmberslopeAudioProcessor::createParameterLayout()
{
    namespace profile = hesko::control_profile;
    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add(makeChoice(ids::lowFrequency, Names::lowFrequency, labelsFor(profile::lowFrequencies),
                          Controls::lowFrequencyDefaultChoice));
    layout.add(makeFloat(ids::lowBoost, Names::lowBoost, 0.0f, 10.0f, Controls::amountMinimum));
    layout.add(makeFloat(ids::lowAtten, Names::lowAtten, 0.0f, 10.0f, Controls::amountMinimum));
    layout.add(makeChoice(ids::highBoostFrequency, Names::highBoostFrequency,
                          labelsFor(profile::highBoostFrequencies),
                          Controls::highBoostFrequencyDefaultChoice));
    layout.add(makeFloat(ids::highBoost, Names::highBoost, 0.0f, 10.0f, Controls::amountMinimum));
    layout.add(makeFloat(ids::highBandwidth, Names::highBandwidth, 0.0f, 10.0f, Controls::bandwidthDefault));
    layout.add(makeChoice(ids::highAttenFrequency, Names::highAttenFrequency,
                          labelsFor(profile::highAttenFrequencies),
                          Controls::highAttenFrequencyDefaultChoice));
    layout.add(makeFloat(ids::highAtten, Names::highAtten, 0.0f, 10.0f, Controls::amountMinimum));
    layout.add(std::make_unique<juce::AudioParameterBool>(juce::ParameterID{ids::eqIn}, Names::eqIn,
                                                          Controls::eqInDefault));
    layout.add(std::make_unique<juce::AudioParameterBool>(juce::ParameterID{ids::analogNoise},
                                                          Names::analogNoise, Controls::analogNoiseDefault));
    layout.add(makeFloat(ids::outputGain, Names::output, -12.0f, 12.0f, Controls::outputTrimDefaultDb));
    return layout;
}

AmberslopeAudioProcessor::AmberslopeAudioProcessor()
    : juce::AudioProcessor(BusesProperties()
                               .withInput("Input", juce::AudioChannelSet::stereo(), true)
                               .withOutput("Output", juce::AudioChannelSet::stereo(), true)),
      parameters(*this, nullptr, juce::Identifier("HeskoParameters"), createParameterLayout())
{
    const auto seeds = hesko::dsp::NoiseSeeds::forInstance(nextNoiseInstanceId.fetch_add(1));
    leftNoiseSeed.store(seeds.left, std::memory_order_relaxed);
    rightNoiseSeed.store(seeds.right, std::memory_order_relaxed);

    parameters.state.setProperty("stateVersion", 1, nullptr);

    for (std::size_t i = 0; i < ids::all.size(); ++i)
        rawParameterValues[i] = parameters.getRawParameterValue(ids::all[i]);
}

AmberslopeAudioProcessor::~AmberslopeAudioProcessor() = default;

const juce::String AmberslopeAudioProcessor::getName() const
{
    return "Amberslope";
}

void AmberslopeAudioProcessor::prepareToPlay(double, int) {}

void AmberslopeAudioProcessor::releaseResources() {}

void AmberslopeAudioProcessor::processBlock(juce::AudioBuffer<float>&, juce::MidiBuffer& midi)
{
    midi.clear();
}

void AmberslopeAudioProcessor::processBlock(juce::AudioBuffer<double>&, juce::MidiBuffer& midi)
{
    midi.clear();
}

bool AmberslopeAudioProcessor::supportsDoublePrecisionProcessing() const
{
    return true;
}

double AmberslopeAudioProcessor::getTailLengthSeconds() const
{
    return 0.0;
}

bool AmberslopeAudioProcessor::acceptsMidi() const
{
    return false;
}

bool AmberslopeAudioProcessor::producesMidi() const
{
    return false;
}

bool AmberslopeAudioProcessor::isMidiEffect() const
{
    return false;
}

void AmberslopeAudioProcessor::reset() {}

juce::AudioProcessorEditor* AmberslopeAudioProcessor::createEditor()
{
    return new AmberslopeAudioProcessorEditor(*this);
}

bool AmberslopeAudioProcessor::hasEditor() const
{
    return true;
}

int AmberslopeAudioProcessor::getNumPrograms()
{
    return 1;
}

int AmberslopeAudioProcessor::getCurrentProgram()
{
    return 0;
}

void AmberslopeAudioProcessor::setCurrentProgram(int) {}

const juce::String AmberslopeAudioProcessor::getProgramName(int index)
{
    return index == 0 ? juce::String("Default") : juce::String();
}

void AmberslopeAudioProcessor::changeProgramName(int, const juce::String&) {}

void AmberslopeAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    if (const auto xml = parameters.copyState().createXml())
        copyXmlToBinary(*xml, destData);
}

void AmberslopeAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    const auto xml = getXmlFromBinary(data, sizeInBytes);
    if (xml != nullptr && xml->hasTagName(parameters.state.getType()))
        parameters.replaceState(juce::ValueTree::fromXml(*xml));
}

bool AmberslopeAudioProcessor::isBusesLayoutSupported(const BusesLayout& layouts) const
{
    const auto input = layouts.getMainInputChannelSet();
    const auto output = layouts.getMainOutputChannelSet();
    return input == output &&
           (output == juce::AudioChannelSet::mono() || output == juce::AudioChannelSet::stereo());
}

bool AmberslopeAudioProcessor::isDspBypassed() const noexcept
{
    return dspBypassed.load(std::memory_order_relaxed);
}

hesko::dsp::circuit::CircuitHealth AmberslopeAudioProcessor::getCircuitHealth() const noexcept
{
    // No circuit has been requested, applied or failed yet.
    return {};
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new AmberslopeAudioProcessor();
}

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "PluginProcessor.h"

#include "ControlLabels.h"
#include "ParameterIds.h"
#include "PluginEditor.h"
#include "StateValidation.h"
#include "dsp/Controls.h"
#include "dsp/NoiseSeeds.h"

namespace
{
namespace ids = hesko::parameter_ids;
using hesko::control_profile::labelsFor;
using hesko::control_profile::Names;
using hesko::dsp::eqp1a_profile::Controls;

const juce::Identifier stateVersionKey("stateVersion");
const juce::Identifier leftNoiseSeedKey("leftNoiseSeed");
const juce::Identifier rightNoiseSeedKey("rightNoiseSeed");

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

    parameters.state.setProperty(stateVersionKey, hesko::state::currentStateVersion, nullptr);
    restoreOrStoreInstanceNoiseSeeds();

    for (std::size_t i = 0; i < ids::all.size(); ++i)
        rawParameterValues[i] = parameters.getRawParameterValue(ids::all[i]);
}

AmberslopeAudioProcessor::~AmberslopeAudioProcessor() = default;

const juce::String AmberslopeAudioProcessor::getName() const
{
    return "Amberslope";
}

namespace
{
using Oversampler = juce::dsp::Oversampling<float>;

// 4x below 88.2 kHz, 2x below 176.4 kHz, none above: the DSP runs at 176.4 kHz or more.
std::size_t oversamplingStagesFor(double hostRate) noexcept
{
    if (hostRate < 88200.0)
        return 2;
    if (hostRate < 176400.0)
        return 1;
    return 0;
}

template <typename Sample>
std::unique_ptr<juce::dsp::Oversampling<Sample>> makeOversampler(int channels, std::size_t stages)
{
    return std::make_unique<juce::dsp::Oversampling<Sample>>(
        static_cast<std::size_t>(std::max(channels, 1)), stages,
        juce::dsp::Oversampling<Sample>::filterHalfBandPolyphaseIIR, true, true);
}

// 20 ms at the host rate; guarded so that an absurd rate cannot overflow the count.
int trimRampLength(double hostRate) noexcept
{
    const double samples = std::floor(0.02 * hostRate);
    if (!(samples > 0.0))
        return 0;
    return samples < 1e9 ? static_cast<int>(samples) : 1000000000;
}

// A host may hand us NaN, infinity or absurd magnitudes. One such sample would leave the over-sampler's
// filters, the circuit and the amplifier non-finite for good, or charged for seconds (1e30 takes the
// amplifier's coupling high-passes some six seconds to drain), so it becomes silence before it reaches
// them. Beyond +60 dBFS nothing is audio: hot mixes stay far below that.
constexpr double largestAudioSample = 1000.0;

template <typename Sample> void replaceNonAudioInput(juce::AudioBuffer<Sample>& buffer, int channels) noexcept
{
    for (int ch = 0; ch < channels; ++ch)
    {
        auto* samples = buffer.getWritePointer(ch);
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (!(std::abs(samples[i]) <= static_cast<Sample>(largestAudioSample))) // NaN fails too
                samples[i] = Sample(0);
    }
}
} // namespace

hesko::PlainParameterValues AmberslopeAudioProcessor::readPlainValues() const noexcept
{
    hesko::PlainParameterValues plain{};
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = rawParameterValues[i]->load(std::memory_order_relaxed);
    return plain;
}

void AmberslopeAudioProcessor::setTrimTarget(double gain) noexcept
{
    if (hesko::approximatelySameGain(gain, outputGainSmoother.getTargetValue()))
        return;
    outputGainSmoother.setTargetValue(gain);
}

void AmberslopeAudioProcessor::updateDspParameters() noexcept
{
    const auto settings = hesko::mapParameters(readPlainValues());
    passiveEq.requestParameters(settings.equalizer);

    leftAmplifier.setAnalogNoiseEnabled(settings.analogNoise);
    if (const auto seed = leftNoiseSeed.load(std::memory_order_relaxed); seed != appliedLeftNoiseSeed)
    {
        leftAmplifier.setNoiseSeed(seed);
        appliedLeftNoiseSeed = seed;
    }
    rightAmplifier.setAnalogNoiseEnabled(settings.analogNoise);
    if (const auto seed = rightNoiseSeed.load(std::memory_order_relaxed); seed != appliedRightNoiseSeed)
    {
        rightAmplifier.setNoiseSeed(seed);
        appliedRightNoiseSeed = seed;
    }

    setTrimTarget(settings.outputGain);
}

void AmberslopeAudioProcessor::prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto stages = oversamplingStagesFor(sampleRate);
    const int channels = getTotalNumInputChannels();
    floatOversampler = makeOversampler<float>(channels, stages);
    doubleOversampler = makeOversampler<double>(channels, stages);
    announcedBlockSize = std::max(maximumExpectedSamplesPerBlock, 1);
    floatOversampler->initProcessing(static_cast<std::size_t>(announcedBlockSize));
    doubleOversampler->initProcessing(static_cast<std::size_t>(announcedBlockSize));
    floatOversampler->reset();
    doubleOversampler->reset();
    oversamplingFactor = floatOversampler->getOversamplingFactor();
    setLatencySamples(static_cast<int>(std::lround(floatOversampler->getLatencyInSamples())));

    const auto settings = hesko::mapParameters(readPlainValues());
    const double processingRate = sampleRate * static_cast<double>(oversamplingFactor);
    try
    {
        passiveEq.prepare(processingRate, settings.equalizer);
        dspBypassed.store(false, std::memory_order_relaxed);
    }
    catch (...)
    {
        // No circuit at all: pass audio through untouched and say so on the editor's status line.
        passiveEq.release();
        dspBypassed.store(true, std::memory_order_relaxed);
        setLatencySamples(0);
    }

    const double noiseGain = std::sqrt(static_cast<double>(oversamplingFactor));
    leftAmplifier.prepare(processingRate);
    leftAmplifier.setNoiseCalibrationGain(noiseGain);
    leftAmplifier.setNoiseSeed(leftNoiseSeed.load(std::memory_order_relaxed));
    appliedLeftNoiseSeed = leftNoiseSeed.load(std::memory_order_relaxed);
    rightAmplifier.prepare(processingRate);
    rightAmplifier.setNoiseCalibrationGain(noiseGain);
    rightAmplifier.setNoiseSeed(rightNoiseSeed.load(std::memory_order_relaxed));
    appliedRightNoiseSeed = rightNoiseSeed.load(std::memory_order_relaxed);

    outputGainSmoother.reset(trimRampLength(sampleRate));
    outputGainSmoother.setCurrentAndTargetValue(settings.outputGain);
}

void AmberslopeAudioProcessor::releaseResources()
{
    passiveEq.release();
    floatOversampler.reset();
    doubleOversampler.reset();
    oversamplingFactor = 1;
}

void AmberslopeAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    processAudio(buffer, midi, floatOversampler.get());
}

void AmberslopeAudioProcessor::processBlock(juce::AudioBuffer<double>& buffer, juce::MidiBuffer& midi)
{
    processAudio(buffer, midi, doubleOversampler.get());
}

template <typename Sample>
void AmberslopeAudioProcessor::processAudio(juce::AudioBuffer<Sample>& buffer, juce::MidiBuffer& midi,
                                            juce::dsp::Oversampling<Sample>* oversampler) noexcept
{
    juce::ScopedNoDenormals noDenormals;
    midi.clear();
    updateDspParameters();
    if (dspBypassed.load(std::memory_order_relaxed))
        return; // the input passes through, untouched and untrimmed

    passiveEq.beginBlock(isNonRealtime());

    const int inputs = getTotalNumInputChannels();
    for (int ch = inputs; ch < getTotalNumOutputChannels(); ++ch)
        buffer.clear(ch, 0, buffer.getNumSamples());
    if (oversampler == nullptr)
        return;

    const int processed = std::min(inputs, buffer.getNumChannels());
    replaceNonAudioInput(buffer, processed);
    auto whole =
        juce::dsp::AudioBlock<Sample>(buffer).getSubsetChannelBlock(0, static_cast<std::size_t>(processed));
    const auto total = whole.getNumSamples();
    const auto piece = static_cast<std::size_t>(announcedBlockSize);
    for (std::size_t start = 0; start < total; start += piece)
        processChunk(whole.getSubBlock(start, std::min(piece, total - start)), *oversampler);
}

template <typename Sample>
void AmberslopeAudioProcessor::processChunk(juce::dsp::AudioBlock<Sample> block,
                                            juce::dsp::Oversampling<Sample>& oversampler) noexcept
{
    using Amplifier = hesko::dsp::RealtimeEqp1aMakeupAmplifier;
    const auto channels = block.getNumChannels();
    auto up = oversampler.processSamplesUp(juce::dsp::AudioBlock<const Sample>(block));
    const auto length = up.getNumSamples();

    if (channels >= 2)
    {
        Sample* left = up.getChannelPointer(0);
        Sample* right = up.getChannelPointer(1);
        // The EQ's double results go to the amplifiers unnarrowed, a few dozen frames at a time so
        // that the amplifier pair keeps its state in registers.
        constexpr std::size_t frames = 64;
        double l[frames];
        double r[frames];
        for (std::size_t start = 0; start < length; start += frames)
        {
            const auto count = std::min(frames, length - start);
            for (std::size_t i = 0; i < count; ++i)
            {
                const auto out = passiveEq.processStereoSample(static_cast<double>(left[start + i]),
                                                               static_cast<double>(right[start + i]));
                l[i] = out.first;
                r[i] = out.second;
            }
            Amplifier::processStereoBlock(leftAmplifier, rightAmplifier, l, r, count);
            for (std::size_t i = 0; i < count; ++i)
            {
                left[start + i] = static_cast<Sample>(l[i]);
                right[start + i] = static_cast<Sample>(r[i]);
            }
        }
    }
    else if (channels == 1)
    {
        Sample* mono = up.getChannelPointer(0);
        for (std::size_t i = 0; i < length; ++i)
            mono[i] = static_cast<Sample>(
                leftAmplifier.processSample(passiveEq.processSample(static_cast<double>(mono[i]))));
    }

    oversampler.processSamplesDown(block);

    // One trim value per host sample, shared by both channels.
    for (std::size_t j = 0; j < block.getNumSamples(); ++j)
    {
        const auto gain = static_cast<Sample>(outputGainSmoother.getNextValue());
        block.getChannelPointer(0)[j] *= gain;
        if (channels >= 2)
            block.getChannelPointer(1)[j] *= gain;
    }
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

void AmberslopeAudioProcessor::reset()
{
    passiveEq.reset();
    leftAmplifier.reset();
    rightAmplifier.reset();
    if (floatOversampler != nullptr)
        floatOversampler->reset();
    if (doubleOversampler != nullptr)
        doubleOversampler->reset();
    outputGainSmoother.setCurrentAndTargetValue(hesko::mapParameters(readPlainValues()).outputGain);
}

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
    auto copy = parameters.copyState();
    copy.setProperty(stateVersionKey, hesko::state::currentStateVersion, nullptr);
    if (const auto xml = copy.createXml())
        copyXmlToBinary(*xml, destData);
}

void AmberslopeAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    // All or nothing: a state that fails any check leaves parameters, seeds and tree as they are.
    std::vector<hesko::state::ParameterRange> ranges;
    for (const auto* id : ids::all)
    {
        const auto& range = parameters.getParameter(id)->getNormalisableRange();
        ranges.push_back({id, static_cast<double>(range.start), static_cast<double>(range.end)});
    }
    auto restored = hesko::state::parseState(data, sizeInBytes, ranges);
    if (!restored)
        return;
    parameters.replaceState(*restored);
    restoreOrStoreInstanceNoiseSeeds();
}

void AmberslopeAudioProcessor::restoreOrStoreInstanceNoiseSeeds()
{
    const auto restoreOrStore = [this](const juce::Identifier& key, std::atomic<std::uint32_t>& seed)
    {
        if (parameters.state.hasProperty(key))
        {
            const auto stored = static_cast<juce::int64>(parameters.state.getProperty(key));
            if (stored >= 1 && stored <= 4294967295LL)
            {
                seed.store(static_cast<std::uint32_t>(stored), std::memory_order_relaxed);
                return;
            }
        }
        parameters.state.setProperty(key, static_cast<juce::int64>(seed.load(std::memory_order_relaxed)),
                                     nullptr);
    };
    restoreOrStore(leftNoiseSeedKey, leftNoiseSeed);
    restoreOrStore(rightNoiseSeedKey, rightNoiseSeed);
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
    return passiveEq.getCircuitHealth();
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new AmberslopeAudioProcessor();
}

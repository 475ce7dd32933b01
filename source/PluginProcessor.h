// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "ParameterMapping.h"
#include "dsp/RealtimeEqp1aMakeupAmplifier.h"
#include "dsp/circuit/AutomatedEqp1aPassiveEq.h"
#include "dsp/circuit/CircuitHealth.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include <array>
#include <atomic>
#include <cstdint>

// The plug-in instance the host creates: identity, buses, the eleven host parameters, the
// per-instance noise seeds and the audio path (over-sampling, the automated passive EQ, one make-up
// amplifier per channel, down-sampling, output trim).
class AmberslopeAudioProcessor : public juce::AudioProcessor
{
public:
    AmberslopeAudioProcessor();
    ~AmberslopeAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    void processBlock(juce::AudioBuffer<double>& buffer, juce::MidiBuffer& midi) override;
    bool supportsDoublePrecisionProcessing() const override;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    void reset() override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index) override;
    const juce::String getProgramName(int index) override;
    void changeProgramName(int index, const juce::String& newName) override;

    void getStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported(const BusesLayout& layouts) const override;

    // Message thread (editor timer): lock-free readings for the status line.
    bool isDspBypassed() const noexcept;
    hesko::dsp::circuit::CircuitHealth getCircuitHealth() const noexcept;

    // Any thread: the instance's noise seeds (never 0).
    std::uint32_t getLeftNoiseSeed() const noexcept { return leftNoiseSeed.load(std::memory_order_relaxed); }
    std::uint32_t getRightNoiseSeed() const noexcept
    {
        return rightNoiseSeed.load(std::memory_order_relaxed);
    }

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    // Audio thread, once per block before anything else: polls the parameters into the DSP.
    void updateDspParameters() noexcept;

    // Control thread; the over-sampling factor of the current preparation (1 when unprepared).
    std::size_t getOversamplingFactor() const noexcept { return oversamplingFactor; }

    // The host parameters; the editor attaches to them and state restore replaces their tree.
    juce::AudioProcessorValueTreeState parameters;

private:
    // Control thread: seeds from the tree when it holds valid ones, else the instance's own into the tree.
    void restoreOrStoreInstanceNoiseSeeds();

    template <typename Sample>
    void processAudio(juce::AudioBuffer<Sample>& buffer, juce::MidiBuffer& midi,
                      juce::dsp::Oversampling<Sample>* oversampler) noexcept;
    template <typename Sample>
    void processChunk(juce::dsp::AudioBlock<Sample> block,
                      juce::dsp::Oversampling<Sample>& oversampler) noexcept;
    hesko::PlainParameterValues readPlainValues() const noexcept;
    void setTrimTarget(double gain) noexcept;

    // The circuit-level EQ for both channels, compiled off the audio thread.
    hesko::dsp::circuit::AutomatedEqp1aPassiveEq passiveEq;
    // Audio thread (prepared on the control thread): one valve stage per channel.
    hesko::dsp::RealtimeEqp1aMakeupAmplifier leftAmplifier;
    hesko::dsp::RealtimeEqp1aMakeupAmplifier rightAmplifier;

    // Written by state restore, read by the audio thread at the start of every block.
    std::atomic<std::uint32_t> leftNoiseSeed{1};
    std::atomic<std::uint32_t> rightNoiseSeed{1};
    // Audio thread: the seeds last handed to the amplifiers; 0 so that the first block re-seeds.
    std::uint32_t appliedLeftNoiseSeed = 0;
    std::uint32_t appliedRightNoiseSeed = 0;

    // Created in prepareToPlay for the announced block size, destroyed in releaseResources.
    std::unique_ptr<juce::dsp::Oversampling<float>> floatOversampler;
    std::unique_ptr<juce::dsp::Oversampling<double>> doubleOversampler;
    // Audio thread: the output trim as a linear gain, gliding over 20 ms at the host rate.
    juce::SmoothedValue<double, juce::ValueSmoothingTypes::Multiplicative> outputGainSmoother;
    std::size_t oversamplingFactor = 1;

    // Set when no circuit could be prepared; read by the editor on the message thread.
    std::atomic<bool> dspBypassed{false};

    // Plain parameter values, polled once per block; they point into `parameters`.
    std::array<std::atomic<float>*, 11> rawParameterValues{};

    // The block size the host announced; longer blocks are processed in pieces of this size so that
    // the over-samplers are never overrun.
    int announcedBlockSize = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(AmberslopeAudioProcessor)
};

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include "dsp/circuit/CircuitHealth.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <cstdint>

// The plug-in instance the host creates: identity, buses, the eleven host parameters and the
// per-instance noise seeds.
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

    // The host parameters; the editor attaches to them and state restore replaces their tree.
    juce::AudioProcessorValueTreeState parameters;

private:
    // Written by state restore, read by the audio thread at the start of every block.
    std::atomic<std::uint32_t> leftNoiseSeed{1};
    std::atomic<std::uint32_t> rightNoiseSeed{1};
    // Audio thread: the seeds last handed to the amplifiers; 0 so that the first block re-seeds.
    std::uint32_t appliedLeftNoiseSeed = 0;
    std::uint32_t appliedRightNoiseSeed = 0;

    // Set when no circuit could be prepared; read by the editor on the message thread.
    std::atomic<bool> dspBypassed{false};

    // Plain parameter values, polled once per block; they point into `parameters`.
    std::array<std::atomic<float>*, 11> rawParameterValues{};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(AmberslopeAudioProcessor)
};

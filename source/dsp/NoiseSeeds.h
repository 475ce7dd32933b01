// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <cstdint>

namespace hesko::dsp
{

// The two analog-noise seeds of one plug-in instance, so that two instances in one session never
// hiss in unison. Neither seed is ever 0 (0 would stall the noise generator).
struct NoiseSeeds
{
    std::uint32_t left = 1;
    std::uint32_t right = 1;

    // Seeds of the instance numbered `instanceId` (1 for the first instance in a process).
    static constexpr NoiseSeeds forInstance(std::uint64_t instanceId) noexcept
    {
        return {lowNonZero(mix(instanceId ^ 0x6d2b79f5ull)),
                lowNonZero(mix((instanceId + 0x9e3779b97f4a7c15ull) ^ 0xa5b3571dull))};
    }

    // Splitmix64's finaliser: every input bit reaches every output bit.
    static constexpr std::uint64_t mix(std::uint64_t z) noexcept
    {
        z ^= z >> 30;
        z *= 0xbf58476d1ce4e5b9ull;
        z ^= z >> 27;
        z *= 0x94d049bb133111ebull;
        z ^= z >> 31;
        return z;
    }

private:
    static constexpr std::uint32_t lowNonZero(std::uint64_t z) noexcept
    {
        const auto low = static_cast<std::uint32_t>(z);
        return low == 0 ? 1u : low;
    }
};

} // namespace hesko::dsp

// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "FrequencyResponse.h"

#include <array>
#include <cmath>
#include <numbers>

namespace hesko::dsp::circuit
{

std::complex<double> frequencyResponse(const RealtimeLinearCircuit& circuit, double frequency) noexcept
{
    using Complex = std::complex<double>;
    constexpr std::size_t capacity = RealtimeLinearCircuit::maxStates;
    if (!circuit.isCompiled() || circuit.getInputNode() == 0 || circuit.getOutputNode() == 0)
        return {};

    const std::size_t n = circuit.getReactiveCount();
    const Complex z = std::polar(1.0, 2.0 * std::numbers::pi * frequency / circuit.getSampleRate());

    // Solve (zI - A) x = B by Gaussian elimination with partial pivoting.
    std::array<std::array<Complex, capacity>, capacity> m{};
    std::array<Complex, capacity> x{};
    for (std::size_t i = 0; i < n; ++i)
    {
        for (std::size_t j = 0; j < n; ++j)
            m[i][j] = -circuit.getStateMatrix(i, j);
        m[i][i] += z;
        x[i] = circuit.getInputVector(i);
    }
    for (std::size_t col = 0; col < n; ++col)
    {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r)
            if (std::abs(m[r][col]) > std::abs(m[pivot][col]))
                pivot = r;
        std::swap(m[col], m[pivot]);
        std::swap(x[col], x[pivot]);
        for (std::size_t r = col + 1; r < n; ++r)
        {
            const Complex factor = m[r][col] / m[col][col];
            for (std::size_t c = col; c < n; ++c)
                m[r][c] -= factor * m[col][c];
            x[r] -= factor * x[col];
        }
    }
    for (std::size_t r = n; r-- > 0;)
    {
        for (std::size_t c = r + 1; c < n; ++c)
            x[r] -= m[r][c] * x[c];
        x[r] /= m[r][r];
    }

    Complex h = circuit.getDirectGain();
    for (std::size_t i = 0; i < n; ++i)
        h += circuit.getOutputVector(i) * x[i];
    return h;
}

} // namespace hesko::dsp::circuit

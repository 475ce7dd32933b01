// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#include "ResponsePlot.h"

#include "FontCompat.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace hesko::hosting
{

namespace
{
constexpr double lowestFrequency = 10.0;
constexpr double highestFrequency = 30000.0;
constexpr double impulseAmplitude = 0.01;

juce::String csvField(const juce::String& text)
{
    if (!text.containsAnyOf(",\"\n"))
        return text;
    return "\"" + text.replace("\"", "\"\"") + "\"";
}
} // namespace

std::vector<double> responseFrequencies(double sampleRate, int points)
{
    std::vector<double> frequencies;
    const double top = std::min(highestFrequency, 0.95 * sampleRate / 2.0);
    for (int i = 0; i < points; ++i)
    {
        const double f = lowestFrequency * std::pow(highestFrequency / lowestFrequency,
                                                    static_cast<double>(i) / static_cast<double>(points - 1));
        if (f <= top)
            frequencies.push_back(f);
    }
    return frequencies;
}

std::vector<double> measureMagnitudeDb(juce::AudioPluginInstance& plugin, double sampleRate,
                                       const std::vector<double>& frequencies)
{
    const int block = 512;
    const int length = static_cast<int>(2.0 * sampleRate);
    plugin.setNonRealtime(true);
    plugin.setPlayConfigDetails(2, 2, sampleRate, block);
    plugin.prepareToPlay(sampleRate, block);

    // The impulse comes after a few blocks, so the response is not cut by the plug-in's start-up.
    const int impulseAt = 4 * block;
    std::vector<double> response;
    response.reserve(static_cast<std::size_t>(length));
    juce::AudioBuffer<float> buffer(2, block);
    juce::MidiBuffer midi;
    for (int start = 0; start < impulseAt + length; start += block)
    {
        buffer.clear();
        if (impulseAt >= start && impulseAt < start + block)
            for (int ch = 0; ch < 2; ++ch)
                buffer.setSample(ch, impulseAt - start, static_cast<float>(impulseAmplitude));
        plugin.processBlock(buffer, midi);
        for (int i = 0; i < block; ++i)
            if (start + i >= impulseAt)
                response.push_back(buffer.getSample(0, i));
    }
    plugin.releaseResources();

    std::vector<double> db;
    for (double f : frequencies)
    {
        // The transform at one frequency, with a rotating phasor renormalised now and then.
        const auto step = std::polar(1.0, -2.0 * std::numbers::pi * f / sampleRate);
        std::complex<double> phasor = 1.0, sum = 0.0;
        for (std::size_t n = 0; n < response.size(); ++n)
        {
            sum += response[n] * phasor;
            phasor *= step;
            if (n % 4096 == 0)
                phasor /= std::abs(phasor);
        }
        db.push_back(20.0 * std::log10(std::max(std::abs(sum) / impulseAmplitude, 1e-12)));
    }
    return db;
}

juce::Image drawResponsePlot(const juce::String& title, const std::vector<double>& frequencies,
                             const std::vector<ResponseCurve>& curves, double sampleRate)
{
    const int width = 1200, height = 700;
    const juce::Rectangle<float> area(80.0f, 60.0f, 820.0f, 570.0f);
    juce::Image image(juce::Image::RGB, width, height, true);
    juce::Graphics g(image);
    g.fillAll(juce::Colour(0xfffbf7ef));

    // The dB range: the data's, rounded out to 5 dB, at least 20 dB tall.
    double lowest = 0.0, highest = 0.0;
    bool any = false;
    for (const auto& curve : curves)
        for (double v : curve.db)
        {
            lowest = any ? std::min(lowest, v) : v;
            highest = any ? std::max(highest, v) : v;
            any = true;
        }
    double bottom = std::floor(lowest / 5.0) * 5.0 - 5.0;
    double top = std::ceil(highest / 5.0) * 5.0 + 5.0;
    if (top - bottom < 20.0)
    {
        const double middle = std::round((top + bottom) / 10.0) * 5.0;
        bottom = middle - 10.0;
        top = middle + 10.0;
    }
    const auto xOf = [&](double f)
    {
        const double t = std::log(f / lowestFrequency) / std::log(highestFrequency / lowestFrequency);
        return area.getX() + static_cast<float>(t) * area.getWidth();
    };
    const auto yOf = [&](double db)
    { return area.getBottom() - static_cast<float>((db - bottom) / (top - bottom)) * area.getHeight(); };

    const juce::Colour ink(0xff3a2e22), grid(0xffd9cfbf), minorGrid(0xffebe3d6);
    g.setFont(hesko::ui::makeFont(14.0f));
    for (double decade = 10.0; decade < highestFrequency; decade *= 10.0)
        for (int k = 1; k < 10; ++k)
        {
            const double f = decade * k;
            if (f > highestFrequency)
                break;
            const float x = xOf(f);
            g.setColour(k == 1 ? grid : minorGrid);
            g.drawVerticalLine(static_cast<int>(x), area.getY(), area.getBottom());
            if (k == 1 || k == 2 || k == 5)
            {
                const auto label = f >= 1000.0 ? juce::String(f / 1000.0) + "k" : juce::String(f);
                g.setColour(ink);
                g.drawText(label, juce::Rectangle<float>(x - 30.0f, area.getBottom() + 6.0f, 60.0f, 18.0f),
                           juce::Justification::centred);
            }
        }
    const double dbStep = top - bottom > 40.0 ? 10.0 : 5.0;
    for (double db = std::ceil(bottom / dbStep) * dbStep; db <= top + 1e-9; db += dbStep)
    {
        const float y = yOf(db);
        g.setColour(std::abs(db) < 1e-9 ? ink.withAlpha(0.5f) : grid);
        g.drawHorizontalLine(static_cast<int>(y), area.getX(), area.getRight());
        g.setColour(ink);
        g.drawText(juce::String(static_cast<int>(db)) + " dB",
                   juce::Rectangle<float>(10.0f, y - 9.0f, 62.0f, 18.0f), juce::Justification::centredRight);
    }
    g.setColour(ink);
    g.drawRect(area, 1.0f);
    g.drawText("Frequency (Hz)",
               juce::Rectangle<float>(area.getX(), area.getBottom() + 28.0f, area.getWidth(), 20.0f),
               juce::Justification::centred);
    g.setFont(hesko::ui::makeFont(20.0f, juce::Font::bold));
    g.drawText(title, juce::Rectangle<float>(area.getX(), 15.0f, area.getWidth(), 30.0f),
               juce::Justification::centredLeft);
    g.setFont(hesko::ui::makeFont(13.0f));
    g.drawText("Amberslope through its VST3, small signal, " + juce::String(sampleRate / 1000.0, 1) + " kHz",
               juce::Rectangle<float>(area.getX(), 15.0f, area.getWidth(), 30.0f),
               juce::Justification::centredRight);

    // Distinct colours that stay apart on paper and for the common colour-vision deficiencies.
    const juce::uint32 palette[] = {0xff0072b2, 0xffd55e00, 0xff009e73, 0xffcc79a7,
                                    0xffe69f00, 0xff56b4e9, 0xff7f3c8d, 0xff333333};
    g.saveState();
    g.reduceClipRegion(area.toNearestInt());
    for (std::size_t c = 0; c < curves.size(); ++c)
    {
        juce::Path path;
        for (std::size_t i = 0; i < frequencies.size() && i < curves[c].db.size(); ++i)
        {
            const juce::Point<float> p(xOf(frequencies[i]), yOf(curves[c].db[i]));
            if (i == 0)
                path.startNewSubPath(p);
            else
                path.lineTo(p);
        }
        g.setColour(juce::Colour(palette[c % std::size(palette)]));
        g.strokePath(path, juce::PathStrokeType(2.2f, juce::PathStrokeType::curved));
    }
    g.restoreState();

    // The legend, beside the plot.
    g.setFont(hesko::ui::makeFont(15.0f));
    for (std::size_t c = 0; c < curves.size(); ++c)
    {
        const float y = area.getY() + 10.0f + 26.0f * static_cast<float>(c);
        g.setColour(juce::Colour(palette[c % std::size(palette)]));
        g.fillRect(juce::Rectangle<float>(area.getRight() + 20.0f, y + 7.0f, 28.0f, 4.0f));
        g.setColour(ink);
        g.drawText(curves[c].label, juce::Rectangle<float>(area.getRight() + 56.0f, y, 240.0f, 18.0f),
                   juce::Justification::centredLeft);
    }
    return image;
}

juce::String responseCsv(const std::vector<double>& frequencies, const std::vector<ResponseCurve>& curves)
{
    juce::String csv = "frequency_hz";
    for (const auto& curve : curves)
        csv << "," << csvField(curve.label);
    csv << "\n";
    for (std::size_t i = 0; i < frequencies.size(); ++i)
    {
        csv << juce::String(frequencies[i], 3);
        for (const auto& curve : curves)
            csv << "," << (i < curve.db.size() ? juce::String(curve.db[i], 4) : juce::String());
        csv << "\n";
    }
    return csv;
}

std::vector<ResponseFamily> classicFamilies()
{
    using Settings = std::vector<std::pair<juce::String, juce::String>>;
    std::vector<ResponseFamily> families;

    for (const char* frequency : {"20", "30", "60", "100"})
    {
        ResponseFamily family{juce::String("low-boost-") + frequency + "Hz",
                              juce::String("Low boost 0 to 10 at ") + frequency + " Hz",
                              {}};
        for (int boost = 0; boost <= 10; boost += 2)
            family.curves.push_back({"Boost " + juce::String(boost),
                                     Settings{{"lowFrequency", frequency}, {"lowBoost", juce::String(boost)}},
                                     {}});
        families.push_back(family);
    }

    ResponseFamily together{"low-boost-and-atten-60Hz", "Low boost and attenuation together at 60 Hz", {}};
    for (const auto& [boost, atten] :
         std::vector<std::pair<int, int>>{{10, 0}, {10, 3}, {10, 6}, {10, 10}, {5, 5}, {0, 10}})
        together.curves.push_back({"Boost " + juce::String(boost) + ", atten " + juce::String(atten),
                                   Settings{{"lowFrequency", "60"},
                                            {"lowBoost", juce::String(boost)},
                                            {"lowAtten", juce::String(atten)}},
                                   {}});
    families.push_back(together);

    ResponseFamily bandwidth{
        "high-boost-bandwidth-10kHz", "High boost 10 at 10 kHz across the bandwidth", {}};
    bandwidth.curves.push_back({"Flat", Settings{}, {}});
    for (const char* width : {"0", "2.5", "5", "7.5", "10"})
        bandwidth.curves.push_back(
            {juce::String("Bandwidth ") + width,
             Settings{{"highBoostFrequency", "10"}, {"highBoost", "10"}, {"highBandwidth", width}},
             {}});
    families.push_back(bandwidth);

    ResponseFamily atten{"high-atten", "High attenuation at 5, 10 and 20 kHz", {}};
    atten.curves.push_back({"Flat", Settings{}, {}});
    for (const char* frequency : {"5", "10", "20"})
        for (const char* amount : {"5", "10"})
            atten.curves.push_back({juce::String("Atten ") + amount + " at " + frequency + " kHz",
                                    Settings{{"highAttenFrequency", frequency}, {"highAtten", amount}},
                                    {}});
    families.push_back(atten);
    return families;
}

juce::String familyNames()
{
    juce::StringArray names;
    for (const auto& family : classicFamilies())
        names.add(family.name);
    return names.joinIntoString(", ");
}

} // namespace hesko::hosting

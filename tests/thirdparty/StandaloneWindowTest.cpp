// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
//
// The standalone application in a real window on a virtual X display: its screenshot holds the same
// editor, pixel for pixel within a small tolerance, as the headless snapshot of the editor.
#include "ChildProgram.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{
struct Match
{
    int x = 0, y = 0;
    double meanDifference = 1e9; // per channel, 0..255
};

int difference(juce::Colour a, juce::Colour b)
{
    return std::max({std::abs(a.getRed() - b.getRed()), std::abs(a.getGreen() - b.getGreen()),
                     std::abs(a.getBlue() - b.getBlue())});
}

double meanDifferenceAt(const juce::Image& screen, const juce::Image& editor, int x, int y, int step)
{
    double sum = 0.0;
    int count = 0;
    for (int j = 0; j < editor.getHeight(); j += step)
        for (int i = 0; i < editor.getWidth(); i += step)
        {
            sum += difference(screen.getPixelAt(x + i, y + j), editor.getPixelAt(i, j));
            ++count;
        }
    return sum / count;
}

// Where in `area` of the screen the editor sits: a coarse search on a sparse grid of pixels, then a
// fine one around the best place.
Match findEditor(const juce::Image& screen, const juce::Image& editor, juce::Rectangle<int> area)
{
    Match best;
    const int right = std::min(area.getRight(), screen.getWidth()) - editor.getWidth();
    const int bottom = std::min(area.getBottom(), screen.getHeight()) - editor.getHeight();
    for (int y = std::max(area.getY(), 0); y <= bottom; y += 2)
        for (int x = std::max(area.getX(), 0); x <= right; x += 2)
            if (const double d = meanDifferenceAt(screen, editor, x, y, 16); d < best.meanDifference)
                best = {x, y, d};
    Match fine;
    for (int y = best.y - 2; y <= best.y + 2; ++y)
        for (int x = best.x - 2; x <= best.x + 2; ++x)
            if (x >= 0 && y >= 0 && x <= right && y <= bottom)
                if (const double d = meanDifferenceAt(screen, editor, x, y, 1); d < fine.meanDifference)
                    fine = {x, y, d};
    return fine;
}

juce::String run(const juce::StringArray& command)
{
    juce::ChildProcess tool;
    if (!tool.start(command))
        return {};
    auto output = tool.readAllProcessOutput();
    tool.waitForProcessToFinish(10000);
    return output;
}

TEST(StandaloneWindow, TheRealWindowShowsTheSameEditorAsTheHeadlessSnapshot)
{
    const auto out = juce::File(AMBERSLOPE_TEST_OUTPUT_DIR).getChildFile("standalone");
    out.createDirectory();
    const auto home = out.getChildFile("home");
    home.deleteRecursively();
    home.createDirectory(); // a fresh user: no saved window position, devices or state

    const int number = 50 + static_cast<int>(getpid() % 400);
    const auto display = juce::String(":" + juce::String(number)).toStdString();
    hesko::test::ChildProgram xvfb({"Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                                   out.getChildFile("xvfb.log").getFullPathName().toStdString());
    ASSERT_TRUE(xvfb.started());
    const juce::File socket("/tmp/.X11-unix/X" + juce::String(number));
    for (int i = 0; i < 200 && !socket.exists(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_TRUE(socket.exists()) << "Xvfb did not start";

    hesko::test::ChildProgram app({AMBERSLOPE_STANDALONE_APP},
                                  out.getChildFile("app.log").getFullPathName().toStdString(),
                                  {"DISPLAY=" + display, "HOME=" + home.getFullPathName().toStdString()});
    ASSERT_TRUE(app.started());

    // Wait for the window, then give it a moment to paint.
    const std::regex geometry(
        R"re("Amberslope": \([^)]*\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re");
    std::smatch m;
    std::string tree;
    for (int i = 0; i < 100; ++i)
    {
        tree = run({"xwininfo", "-display", display, "-root", "-tree"}).toStdString();
        if (std::regex_search(tree, m, geometry) && std::stoi(m[1]) >= 980)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(m.empty()) << "no Amberslope window appeared:\n" << tree;
    const juce::Rectangle<int> window(std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[1]), std::stoi(m[2]));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(app.running()) << "the application stayed up";

    const auto screenshot = out.getChildFile("window.png");
    screenshot.deleteFile();
    run({"import", "-display", display, "-window", "root", screenshot.getFullPathName()});
    app.stop();
    xvfb.stop();
    const auto screen = juce::ImageFileFormat::loadFrom(screenshot);
    ASSERT_TRUE(screen.isValid()) << "no screenshot at " << screenshot.getFullPathName();

    AmberslopeAudioProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor(processor.createEditor());
    const auto snapshot = editor->createComponentSnapshot(editor->getLocalBounds(), true, 1.0f);
    const auto match = findEditor(screen, snapshot, window);

    // The editor's region of the window, kept beside the screenshot for people to look at.
    const auto region = screen.getClippedImage({match.x, match.y, snapshot.getWidth(), snapshot.getHeight()});
    {
        const auto file = out.getChildFile("window-editor.png");
        file.deleteFile();
        juce::FileOutputStream stream(file);
        juce::PNGImageFormat().writeImageToStream(region, stream);
    }
    int different = 0;
    for (int y = 0; y < snapshot.getHeight(); ++y)
        for (int x = 0; x < snapshot.getWidth(); ++x)
            different += difference(region.getPixelAt(x, y), snapshot.getPixelAt(x, y)) > 24;
    const double share = static_cast<double>(different) / (snapshot.getWidth() * snapshot.getHeight());
    EXPECT_LT(match.meanDifference, 2.0)
        << "at " << match.x << "," << match.y << " in window " << window.toString();
    EXPECT_LT(share, 0.005) << "pixels that differ visibly";
}
} // namespace

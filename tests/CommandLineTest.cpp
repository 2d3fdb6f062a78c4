#include "Application.h"
#include "FatalError.h"
#include "ScreenResolution.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    Application::Settings settings;
    std::string output;
};

Parsed parse(const std::vector<std::string>& words) {
    testing::internal::CaptureStdout();
    Parsed parsed;
    parsed.settings = Application::parseCommandLine(words);
    parsed.output = testing::internal::GetCapturedStdout();
    return parsed;
}

const std::string usage =
    "\nLumenfall\n\nUsage:\nLumenfall -w [width] -h [height] -a [val] -win -ns -nm -aa [name]\n\nFlags:\n"
    "--width [val] | -w [val]:\tSet the width of the window.\n"
    "--height [val] | -h [val]:\tSet the height of the window.\n"
    "--antialias [val] | -a [val]:\tSets the antialiasing level (2, 4, or 6).\n"
    "--windowed | -win:\t\tSets whether to start the game in a window rather than fullscreen.\n"
    "--nosound | -ns:\t\tSwitches off the sound output.\n"
    "--nomusic | -nm:\t\tSwitches off the background music.\n"
    "--audio-api [name] | -aa [name]:\t\tSets the audio API to use.  Can be DirectSound, ASIO, MME, ALSA, "
    "JACK, "
    "OSS, CoreAudio.\n"
    "--help:\t\t\t\tDisplay this help.\n";

} // namespace

TEST(CommandLine, WidthAloneTakesTheScreenHeight) {
    Parsed p = parse({"-w", "800"});
    EXPECT_EQ(p.settings.windowWidth, 800);
    EXPECT_EQ(p.settings.windowHeight, ScreenResolution::getScreenHeight());
    EXPECT_EQ(p.output,
              "Using default height = " + std::to_string(ScreenResolution::getScreenHeight()) + "\n");
    EXPECT_TRUE(p.settings.fullscreen);
    EXPECT_EQ(p.settings.antialiasLevel, 0);
    EXPECT_FALSE(p.settings.noSound);
    EXPECT_FALSE(p.settings.noMusic);
    EXPECT_EQ(p.settings.audioApi, "");
}

TEST(CommandLine, AntialiasingOfOneOrLessBecomesTwo) {
    Parsed zero = parse({"-w", "1", "-h", "1", "-a", "0"});
    EXPECT_EQ(zero.settings.antialiasLevel, 2);
    EXPECT_EQ(zero.output, "Using 2x antialiasing.\n");
    Parsed four = parse({"-w", "1", "-h", "1", "--antialias", "4"});
    EXPECT_EQ(four.settings.antialiasLevel, 4);
    EXPECT_EQ(four.output, "");
    Parsed last = parse({"-w", "1", "-h", "1", "-a"});
    EXPECT_EQ(last.settings.antialiasLevel, 2);
    EXPECT_EQ(last.output, "Using 2x antialiasing.\n");
}

TEST(CommandLine, EachOptionHasItsOwnPass) {
    // "-w" takes "-h" as its value, yet the height pass still finds "-h 600".
    Parsed p = parse({"-w", "-h", "600"});
    EXPECT_EQ(p.settings.windowWidth, ScreenResolution::getScreenWidth());
    EXPECT_EQ(p.settings.windowHeight, 600);
    EXPECT_EQ(p.output, "Using default width = " + std::to_string(ScreenResolution::getScreenWidth()) + "\n");

    Parsed last = parse({"-h", "500", "-w"});
    EXPECT_EQ(last.settings.windowWidth, ScreenResolution::getScreenWidth());
    EXPECT_EQ(last.settings.windowHeight, 500);

    Parsed repeated = parse({"-win", "-w", "640", "--width", "320", "-h", "200", "-win", "stray", "-ns",
                             "-nm", "--audio-api", "JACK", "-aa", "ALSA"});
    EXPECT_EQ(repeated.settings.windowWidth, 320);
    EXPECT_EQ(repeated.settings.windowHeight, 200);
    EXPECT_FALSE(repeated.settings.fullscreen);
    EXPECT_TRUE(repeated.settings.noSound);
    EXPECT_TRUE(repeated.settings.noMusic);
    EXPECT_EQ(repeated.settings.audioApi, "ALSA");
    EXPECT_EQ(repeated.output, "");
}

TEST(CommandLine, ValuesThatAreNotUsableSizesAreIgnored) {
    Parsed p = parse({"-w", "abc", "-h", "-20", "-a", "x"});
    EXPECT_EQ(p.settings.windowWidth, ScreenResolution::getScreenWidth());
    EXPECT_EQ(p.settings.windowHeight, ScreenResolution::getScreenHeight());
    EXPECT_EQ(p.settings.antialiasLevel, 2);
    // A number with trailing text reads its leading digits, as a stream does.
    Parsed trailing = parse({"-w", "640px", "-h", "360"});
    EXPECT_EQ(trailing.settings.windowWidth, 640);
    // Names are whole, case-sensitive words.
    Parsed cased = parse({"-W", "640", "-h", "360", "-WIN", "--Nosound"});
    EXPECT_EQ(cased.settings.windowWidth, ScreenResolution::getScreenWidth());
    EXPECT_TRUE(cased.settings.fullscreen);
    EXPECT_FALSE(cased.settings.noSound);
}

TEST(CommandLine, HelpPrintsTheUsageAndStopsWithStatusZero) {
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"-w", "--help", "-h", "10"}}) {
        testing::internal::CaptureStdout();
        try {
            Application::parseCommandLine(words);
            ADD_FAILURE() << "no FatalError";
        } catch (FatalError& error) {
            EXPECT_EQ(error.message, "\n");
            EXPECT_EQ(error.exitStatus, 0);
        }
        // No other option is read, so no default-size lines either.
        EXPECT_EQ(testing::internal::GetCapturedStdout(), usage);
    }
}

TEST(InputDispatch, MouseCoordinatesScaleToTheCanvasAndTruncate) {
    EXPECT_EQ(Application::scaleToCanvas(320, 640, 1280), 640);
    EXPECT_EQ(Application::scaleToCanvas(180, 360, 720), 360);
    EXPECT_EQ(Application::scaleToCanvas(639, 640, 1280), 1278);
    EXPECT_EQ(Application::scaleToCanvas(359, 360, 720), 718);
    EXPECT_EQ(Application::scaleToCanvas(0, 1920, 1280), 0);
    EXPECT_EQ(Application::scaleToCanvas(1919, 1920, 1280), 1279);
}

TEST(InputDispatch, JoystickAxesReportTheirControls) {
    int c[2];
    ASSERT_EQ(Application::axisControls(0, -0.5f, c), 1);
    EXPECT_EQ(c[0], 3);
    ASSERT_EQ(Application::axisControls(0, 0.0f, c), 2);
    EXPECT_EQ(c[0], 3);
    EXPECT_EQ(c[1], 1);
    ASSERT_EQ(Application::axisControls(0, 0.1f, c), 1);
    EXPECT_EQ(c[0], 1);
    ASSERT_EQ(Application::axisControls(1, -1.0f, c), 1);
    EXPECT_EQ(c[0], 0);
    ASSERT_EQ(Application::axisControls(1, 0.0f, c), 1);
    EXPECT_EQ(c[0], 2); // centred vertical stick reports Down, not Up
    ASSERT_EQ(Application::axisControls(2, -0.3f, c), 1);
    EXPECT_EQ(c[0], 5);
    ASSERT_EQ(Application::axisControls(2, 0.0f, c), 2);
    EXPECT_EQ(c[0], 5);
    EXPECT_EQ(c[1], 4);
    ASSERT_EQ(Application::axisControls(3, -0.3f, c), 1);
    EXPECT_EQ(c[0], 9);
    ASSERT_EQ(Application::axisControls(3, 0.0f, c), 1);
    EXPECT_EQ(c[0], 7);
    ASSERT_EQ(Application::axisControls(4, -0.3f, c), 1);
    EXPECT_EQ(c[0], 6);
    ASSERT_EQ(Application::axisControls(4, 0.7f, c), 1);
    EXPECT_EQ(c[0], 8);
    ASSERT_EQ(Application::axisControls(7, -1.0f, c), 1);
    EXPECT_EQ(c[0], 0);
    ASSERT_EQ(Application::axisControls(7, 1.0f, c), 1);
    EXPECT_EQ(c[0], 0);
}

TEST(EventLoop, PacingSleepsUpToThirtyMilliseconds) {
    EXPECT_EQ(Application::pacingDelay(10), 20u);
    EXPECT_EQ(Application::pacingDelay(29), 1u);
    EXPECT_EQ(Application::pacingDelay(30), 0u);
    EXPECT_EQ(Application::pacingDelay(250), 0u);
    EXPECT_EQ(Application::pacingDelay(0), 30u);
    // With 10 ms of work, passes alternate: the stored tick count precedes
    // the sleep, so a pass that slept sees 10 + 20 = 30 ms and does not sleep.
    Uint32 clock = 0, last = 0;
    std::vector<Uint32> gaps;
    Uint32 previousStart = 0;
    for (int pass = 0; pass < 6; ++pass) {
        Uint32 start = clock;
        if (pass > 0)
            gaps.push_back(start - previousStart);
        previousStart = start;
        Uint32 elapsed = clock - last;
        last = clock;
        clock += Application::pacingDelay(elapsed) + 10;
    }
    // The first pass sleeps 30 ms from a zero tick count, then the 10/30 rhythm sets in.
    EXPECT_EQ(gaps, (std::vector<Uint32>{40, 10, 30, 10, 30}));
}

TEST(CommandLine, ExhibitionIsOnlyTheWholeWordsExAndExhibit) {
    EXPECT_FALSE(parse({"-w", "1", "-h", "1"}).settings.exhibit);
    for (const char* word : {"-ex", "--exhibit"}) {
        Parsed p = parse({"-w", "1", "-h", "1", word, "-win"});
        EXPECT_TRUE(p.settings.exhibit) << word;
        EXPECT_FALSE(p.settings.fullscreen) << word;
        EXPECT_EQ(p.output, "") << word;
    }
    EXPECT_FALSE(parse({"-w", "1", "-h", "1", "-EX", "--exhibition", "-exhibit"}).settings.exhibit);
}

#include "ScreenResolution.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// The harness's X server has one 1920 x 1080 screen.
TEST(ScreenResolution, ReportsTheDisplaysSize) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    EXPECT_EQ(ScreenResolution::getScreenWidth(), 1920);
    EXPECT_EQ(ScreenResolution::getScreenHeight(), 1080);
}

TEST(ScreenResolution, FallsBackWithoutADisplay) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    setenv("DISPLAY", ":4095", 1);
    EXPECT_EQ(ScreenResolution::getScreenWidth(), 1024);
    EXPECT_EQ(ScreenResolution::getScreenHeight(), 768);
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

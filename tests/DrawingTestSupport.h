#pragma once

#include "OpenGLDrawer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace drawingtest {

struct Pixel {
    int r;
    int g;
    int b;
};

// A colour check with a small allowance for rounding in the rasteriser.
::testing::AssertionResult near(const Pixel& actual, int r, int g, int b, int tolerance = 1);

// A B, G, R, A buffer made with new[], every pixel the same.
unsigned char* solidImage(unsigned int width, unsigned int height, unsigned char r, unsigned char g,
                          unsigned char b, unsigned char a = 255);

// Everything printed on standard output while the function runs.
template <typename F> std::string capturedOutput(F&& run) {
    ::testing::internal::CaptureStdout();
    run();
    return ::testing::internal::GetCapturedStdout();
}

// A window of the given size with an initialised drawer (canvas 1280 x 720)
// and an open frame. When a test fails, the window's picture is saved as
// failed-<suite>-<test>.ppm in the working folder.
class WindowTest : public ::testing::Test {
protected:
    explicit WindowTest(unsigned short width = 1280, unsigned short height = 720)
        : windowWidth(width), windowHeight(height) {}

    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Pixel at window column x and row y counted from the top.
    Pixel pixelAt(int x, int y);
    // The whole window, rows from the top, R, G, B bytes.
    std::vector<unsigned char> windowPixels();
    void savePicture(const std::string& path);

    unsigned short windowWidth;
    unsigned short windowHeight;
    OpenGLDrawer* drawer = nullptr;
};

} // namespace drawingtest

#include "DrawingTestSupport.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace drawingtest {

::testing::AssertionResult near(const Pixel& actual, int r, int g, int b, int tolerance) {
    if (std::abs(actual.r - r) <= tolerance && std::abs(actual.g - g) <= tolerance &&
        std::abs(actual.b - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << actual.r << ", " << actual.g << ", " << actual.b << "), expected (" << r << ", "
           << g << ", " << b << ") within " << tolerance;
}

unsigned char* solidImage(unsigned int width, unsigned int height, unsigned char r, unsigned char g,
                          unsigned char b, unsigned char a) {
    unsigned char* pixels = new unsigned char[width * height * 4];
    for (unsigned int i = 0; i < width * height; ++i) {
        pixels[i * 4] = b;
        pixels[i * 4 + 1] = g;
        pixels[i * 4 + 2] = r;
        pixels[i * 4 + 3] = a;
    }
    return pixels;
}

void WindowTest::SetUpTestSuite() {
    static bool started = false;
    if (started)
        return;
    // SDL 1.2 compatibility layers redirect the window's frame buffer unless
    // told not to, which breaks frame-buffer objects.
    setenv("SDL12COMPAT_OPENGL_SCALING", "0", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    std::atexit(SDL_Quit);
    started = true;
}

void WindowTest::SetUp() {
    drawer = new OpenGLDrawer(1280, 720);
    bool opened = false;
    capturedOutput([&] { opened = drawer->initialise(windowWidth, windowHeight, false, 0); });
    ASSERT_TRUE(opened) << SDL_GetError();
    drawer->beginDrawing();
}

void WindowTest::TearDown() {
    if (HasFailure() && drawer) {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        savePicture(std::string("failed-") + info->test_suite_name() + "-" + info->name() + ".ppm");
    }
    delete drawer;
    drawer = nullptr;
}

Pixel WindowTest::pixelAt(int x, int y) {
    drawer->flush();
    unsigned char rgba[4] = {0, 0, 0, 0};
    glReadPixels(x, windowHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return Pixel{rgba[0], rgba[1], rgba[2]};
}

std::vector<unsigned char> WindowTest::windowPixels() {
    drawer->flush();
    std::vector<unsigned char> bottomUp(static_cast<size_t>(windowWidth) * windowHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<unsigned char> topDown(bottomUp.size());
    const size_t row = static_cast<size_t>(windowWidth) * 3;
    for (int y = 0; y < windowHeight; ++y)
        std::memcpy(&topDown[y * row], &bottomUp[(windowHeight - 1 - y) * row], row);
    return topDown;
}

void WindowTest::savePicture(const std::string& path) {
    std::vector<unsigned char> pixels = windowPixels();
    std::ofstream file(path, std::ios::binary);
    file << "P6\n" << windowWidth << " " << windowHeight << "\n255\n";
    file.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    std::printf("Saved the picture as %s\n", path.c_str());
}

} // namespace drawingtest

// The drawer on a driver that lacks entry points. This file is built twice,
// each time with its own glewInit in place of GLEW's:
//   GLEW_SHIM_FAILS 1: glewInit fails and GLEW's pointers all stay null, as
//                      when GLEW cannot start on the display.
//   GLEW_SHIM_FAILS 0: GLEW's own glewInit runs, then the entry points a test
//                      names are taken away, as on a driver whose version
//                      promises them but which does not give them all.
// Every test draws each kind of thing the drawer draws; calling a missing
// entry point ends the run with SIGSEGV.
#include "DrawingTestSupport.h"

#include <GL/glew.h>
#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <vector>

using drawingtest::capturedOutput;
using drawingtest::near;
using drawingtest::solidImage;
using drawingtest::WindowTest;

namespace {

// Entry points to take away after the next glewInit.
std::vector<void (*)()> dropped;

} // namespace

extern "C" GLenum GLEWAPIENTRY glewInit() {
#if GLEW_SHIM_FAILS
    return GLEW_ERROR_NO_GL_VERSION;
#else
    using Init = GLenum(GLEWAPIENTRY*)();
    static Init real = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "glewInit"));
    const GLenum status = real ? real() : GLEW_ERROR_NO_GL_VERSION;
    for (void (*drop)() : dropped)
        drop();
    return status;
#endif
}

namespace {

// Draws every kind of thing once, with a shader and a second image in use
// when the drawer has them, into the frame buffer and onto the window; then
// leaves a white 16 x 16 image drawn at (0, 0) with a black second image.
void drawEverything(OpenGLDrawer* drawer) {
    const std::string data = std::getenv("LUMENFALL_TEST_DATA_DIR");
    unsigned int shader = 0;
    unsigned int font = 0;
    capturedOutput([&] {
        shader = drawer->loadShader(data + "/shaders/postProc.vert", data + "/shaders/postProc.frag");
        font = drawer->loadFont("DejaVuSans.ttf", 20);
    });
    EXPECT_NE(font, 0u);
    const unsigned int white = drawer->loadImage(solidImage(16, 16, 255, 255, 255), 16, 16);
    const unsigned int black = drawer->loadImage(solidImage(16, 16, 0, 0, 0), 16, 16);
    const unsigned int padded = drawer->loadImage(solidImage(10, 6, 0, 0, 255), 10, 6);
    float corners[] = {0, 0, 40, 0, 40, 40};
    const unsigned int triangle = drawer->loadPoly(corners, 3);
    drawer->loadGlyph(Drawer::GlyphA, solidImage(64, 64, 255, 0, 0), 64);

    for (bool offScreen : {true, false}) {
        if (offScreen)
            drawer->startFrameBufferDrawing();
        for (Drawer::BlendMode mode : {Drawer::Normal, Drawer::Additive, Drawer::Subtractive, Drawer::Normal})
            drawer->setBlendMode(mode);
        drawer->useShader(shader, 0.5f);
        drawer->useSecondImage(black);
        drawer->drawImage(padded, 300, 300, 2, 2, 1, 1, 1, 1);
        drawer->drawSubImage(padded, 340, 300, 0, 0, 0.5f, 0.5f, 1, 1, 1, 1, 1, 1);
        drawer->drawImageRot(padded, 380, 300, 30, 5, 3, 1, 1, 1, 1, 1, 1);
        drawer->drawPoly(triangle, padded, 420, 300, 1, 1, 1, 1, 1, 1);
        drawer->useShader(0, 0);
        drawer->drawLine(300, 400, 500, 420, 1, 1, 1, 1);
        drawer->fillRect(300, 450, 20, 20, 0, 255, 0, 255);
        drawer->fillGradient(330, 450, 20, 20, 0, 0, 0, 255, 255, 255, 255, 255);
        drawer->drawText("A1", 300, 500, 32, 1, 1, 1, 1);
        drawer->drawText("Lumenfall", font, 300, 550, 400, 1, 1, 1, 1, 1);
        if (offScreen) {
            drawer->endFrameBufferDrawing();
            drawer->drawImage(drawer->getFrameBufferImage(), 0, 0, 1, 1, 1, 1, 1, 1);
        }
    }
    drawer->fillRect(0, 0, 40, 40, 0, 0, 0, 255);
    drawer->useSecondImage(black);
    drawer->drawImage(white, 0, 0, 1, 1, 1, 1, 1, 1);
    drawer->flush();
}

// A window whose drawer finds the DejaVu Sans font in the throw-away home.
class ShimTest : public WindowTest {
protected:
    static void SetUpTestSuite() {
        WindowTest::SetUpTestSuite();
        const std::string folder = std::string(std::getenv("HOME")) + "/.fonts";
        mkdir(folder.c_str(), 0755);
        std::ifstream source("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
        std::ofstream(folder + "/DejaVuSans.ttf", std::ios::binary) << source.rdbuf();
    }

    void TearDown() override {
        WindowTest::TearDown();
        dropped.clear();
    }

    // What the drawer says it can do, as the game asks it.
    std::string capabilities() {
        std::string answer;
        capturedOutput([&] {
            answer = std::string(drawer->canSupport(Drawer::Shaders) ? "shaders " : "") +
                     (drawer->canSupport(Drawer::FrameBuffer) ? "frame-buffer" : "");
        });
        return answer;
    }
};

} // namespace

#if GLEW_SHIM_FAILS

TEST_F(ShimTest, WithoutGlewDrawsPlainlyWithOneTextureUnit) {
    // The window was opened by the fixture; its log is read again here.
    delete drawer;
    drawer = new OpenGLDrawer(1280, 720);
    bool opened = false;
    const std::string output = capturedOutput([&] { opened = drawer->initialise(1280, 720, false, 0); });
    ASSERT_TRUE(opened);
    EXPECT_NE(output.find("OpenGLDrawer: GLEW could not start: "), std::string::npos) << output;
    EXPECT_NE(output.find("OpenGL shaders are not available; drawing without post-processing.\n"),
              std::string::npos)
        << output;
    drawer->beginDrawing();
    EXPECT_EQ(capabilities(), "");
    drawEverything(drawer);
    // The second image is left out: the white image is drawn as it is.
    EXPECT_TRUE(near(pixelAt(8, 8), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(20, 20), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(310, 460), 0, 255, 0));
    EXPECT_TRUE(near(pixelAt(310, 510), 255, 0, 0)); // the glyph picture
}

#else

// One entry point taken away at a time: each feature that needs it is off,
// the others stay, and the frame is drawn.
TEST_F(ShimTest, EachMissingEntryPointSwitchesOffOnlyWhatNeedsIt) {
#define ENTRY(name)                                                                                          \
    {                                                                                                        \
#name, [] { __glew##name = nullptr; }                                                                \
    }
    struct Entry {
        const char* name;
        void (*drop)();
    };
    const Entry units[] = {ENTRY(ActiveTextureARB), ENTRY(MultiTexCoord2fARB)};
    const Entry shaders[] = {ENTRY(Uniform1i),        ENTRY(Uniform1f),        ENTRY(CreateShader),
                             ENTRY(ShaderSource),     ENTRY(CompileShader),    ENTRY(CreateProgram),
                             ENTRY(AttachShader),     ENTRY(LinkProgram),      ENTRY(GetUniformLocation),
                             ENTRY(UseProgram),       ENTRY(GetShaderiv),      ENTRY(GetProgramiv),
                             ENTRY(GetShaderInfoLog), ENTRY(GetProgramInfoLog)};
    const Entry frameBuffers[] = {ENTRY(GenFramebuffersEXT),      ENTRY(BindFramebufferEXT),
                                  ENTRY(GenRenderbuffersEXT),     ENTRY(BindRenderbufferEXT),
                                  ENTRY(RenderbufferStorageEXT),  ENTRY(FramebufferRenderbufferEXT),
                                  ENTRY(FramebufferTexture2DEXT), ENTRY(CheckFramebufferStatusEXT)};
    const Entry others[] = {ENTRY(BlendEquation)};
#undef ENTRY
    struct Group {
        const Entry* entries;
        size_t count;
        const char* expected;
        int shade; // of the white image drawn with a black second image
    };
    // With two units the fixed pipeline multiplies in the black image; with
    // one, the second image is left out.
    const Group groups[] = {{units, std::size(units), "frame-buffer", 255},
                            {shaders, std::size(shaders), "frame-buffer", 0},
                            {frameBuffers, std::size(frameBuffers), "shaders ", 0},
                            {others, std::size(others), "shaders frame-buffer", 0}};
    for (const Group& group : groups) {
        for (size_t i = 0; i < group.count; ++i) {
            SCOPED_TRACE(std::string("without gl") + group.entries[i].name);
            delete drawer;
            dropped = {group.entries[i].drop};
            drawer = new OpenGLDrawer(1280, 720);
            bool opened = false;
            capturedOutput([&] { opened = drawer->initialise(1280, 720, false, 0); });
            ASSERT_TRUE(opened);
            drawer->beginDrawing();
            EXPECT_EQ(capabilities(), group.expected);
            drawEverything(drawer);
            EXPECT_TRUE(near(pixelAt(8, 8), group.shade, group.shade, group.shade));
            EXPECT_TRUE(near(pixelAt(310, 460), 0, 255, 0));
        }
    }
}

#endif

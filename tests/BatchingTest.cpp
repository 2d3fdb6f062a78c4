#include "DrawingTestSupport.h"

#include <cstdlib>
#include <fstream>

using drawingtest::WindowTest;

namespace {

class BatchingTest : public WindowTest {
protected:
    // A small version of the play state's grid: pictures cut into strips,
    // each entry through a shader with its own second image, overlapping
    // entries at different opacities, with other draws in between.
    void drawScene() {
        drawer->beginDrawing();
        drawer->startFrameBufferDrawing();
        drawer->fillRect(0, 0, 1280, 720, 0, 0, 0, 255);
        drawer->drawImage(background, 0, 0, 10, 5.625f, 1, 1, 1, 1);
        for (int entry = 0; entry < 12; ++entry) {
            const unsigned int picture = pictures[entry % 3];
            drawer->useSecondImage(feathers[entry % 2]);
            drawer->useShader(program, 0);
            const float x = 60.0f + entry * 90.0f;
            const float y = 40.0f + (entry % 4) * 120.0f;
            float top = 0;
            for (int strip = 0; strip < 8; ++strip) {
                const float height = 5.0f + ((entry * 7 + strip * 13) % 60);
                const float shift = ((entry * 31 + strip * 17) % 193) - 96.0f;
                drawer->drawSubImage(picture, x + shift, y + top, 0, top / 512.0f, 1, height / 512.0f, 0.5f,
                                     0.5f, 1, 1, 1, 1.0f - entry * 0.07f);
                top += height;
            }
            drawer->useShader(0, 0);
            drawer->useSecondImage(0);
            drawer->drawImage(pictures[(entry + 1) % 3], x, y + 300, 0.1f, 0.1f, 1, 0.5f, 0.5f, 0.6f);
            drawer->drawImage(pictures[(entry + 1) % 3], x + 20, y + 310, 0.1f, 0.1f, 0.5f, 1, 0.5f, 0.6f);
        }
        drawer->setBlendMode(Drawer::Additive);
        drawer->drawImage(pictures[0], 300, 300, 0.3f, 0.3f, 1, 0, 0, 0.5f);
        drawer->drawImage(pictures[0], 305, 300, 0.3f, 0.3f, 0, 1, 0, 0.5f);
        drawer->setBlendMode(Drawer::Normal);
        drawer->endFrameBufferDrawing();
        drawer->useSecondImage(feathers[0]);
        drawer->useShader(program, 0.25f);
        drawer->drawImage(drawer->getFrameBufferImage(), 0, 0, 1, 1, 1, 1, 1, 1);
        drawer->useShader(0, 0);
        drawer->useSecondImage(0);
    }

    unsigned int makePicture(int seed, unsigned int size, bool opaque = false) {
        unsigned char* pixels = new unsigned char[size * size * 4];
        unsigned int state = static_cast<unsigned int>(seed) * 2654435761u + 1;
        for (unsigned int i = 0; i < size * size * 4; ++i) {
            state = state * 1664525u + 1013904223u;
            pixels[i] = static_cast<unsigned char>(state >> 24);
            if (opaque && i % 4 == 3)
                pixels[i] = 255;
        }
        return drawer->loadImage(pixels, size, size);
    }

    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure())
            return;
        for (int i = 0; i < 3; ++i)
            pictures[i] = makePicture(i + 1, 512, true);
        feathers[0] = makePicture(7, 128);
        feathers[1] = makePicture(8, 100);
        background = makePicture(9, 128, true);
        const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/tmp";
        std::ofstream(home + "/feather.vert") << "void main() {\n"
                                                 "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"
                                                 "    gl_TexCoord[1] = gl_MultiTexCoord1;\n"
                                                 "    gl_FrontColor = gl_Color;\n"
                                                 "    gl_Position = ftransform();\n"
                                                 "}\n";
        std::ofstream(home + "/feather.frag")
            << "uniform sampler2D base;\n"
               "uniform sampler2D second;\n"
               "uniform float shaderParam;\n"
               "void main() {\n"
               "    vec4 picture = texture2D(base, gl_TexCoord[0].st);\n"
               "    vec4 feather = texture2D(second, gl_TexCoord[1].st);\n"
               "    gl_FragColor = vec4(picture.rgb * (0.5 + 0.5 * feather.g) + shaderParam,\n"
               "                        picture.a * feather.a) * gl_Color;\n"
               "}\n";
        drawingtest::capturedOutput(
            [&] { program = drawer->loadShader(home + "/feather.vert", home + "/feather.frag"); });
        ASSERT_NE(program, 0u);
    }

    unsigned int pictures[3] = {0, 0, 0};
    unsigned int feathers[2] = {0, 0};
    unsigned int background = 0;
    unsigned int program = 0;
};

} // namespace

TEST_F(BatchingTest, BatchedDrawingIsPixelIdenticalToOneDrawPerCall) {
    drawer->setBatching(false);
    drawScene();
    const std::vector<unsigned char> single = windowPixels();
    drawer->setBatching(true);
    drawScene();
    const std::vector<unsigned char> batched = windowPixels();
    ASSERT_EQ(single.size(), batched.size());
    size_t differences = 0;
    size_t firstDifference = 0;
    for (size_t i = 0; i < single.size(); ++i) {
        if (single[i] != batched[i] && differences++ == 0)
            firstDifference = i;
    }
    EXPECT_EQ(differences, 0u) << "first at pixel " << firstDifference / 3 % 1280 << ", "
                               << firstDifference / 3 / 1280;
    // The scene is not blank, or the comparison would prove nothing.
    size_t lit = 0;
    for (unsigned char byte : batched)
        lit += byte > 16;
    EXPECT_GT(lit, batched.size() / 4);
}

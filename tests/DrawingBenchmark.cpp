// Times the play state's heaviest frame through the OpenGL drawer: three
// full-screen pictures, 8 ghosts and the 96-entry grid of 8 strips 512 pixels
// wide into the frame buffer, each grid entry and ghost through a
// two-texture shader, then the frame buffer back to the window through the
// post-processing shader. The feathers are the game's own masks; strips and
// entries sit off whole pixels, as the game's do. Times the plain path (no
// culling) and the culled one side by side, in alternating runs of frames,
// and prints both and their ratio (the culled path is forced on, whatever
// the renderer); then the plain path one draw per call,
// and the bare load: the same strips with plain texturing and the
// full-screen pictures, without ghosts, feathers or additive copies.
//
//   drawing_benchmark [frames [strip height]]
//
// Needs an X display. 300 frames by default; strips are 64 rows high, the
// greatest the grid cuts (it averages 32).

#include "ImageLoader.h"
#include "OpenGLDrawer.h"

#include <SDL/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

unsigned int makePicture(OpenGLDrawer& drawer, unsigned int width, unsigned int height, unsigned int seed) {
    unsigned char* pixels = new unsigned char[width * height * 4];
    unsigned int state = seed * 2654435761u + 1;
    for (unsigned int i = 0; i < width * height * 4; ++i) {
        state = state * 1664525u + 1013904223u;
        pixels[i] = static_cast<unsigned char>(i % 4 == 3 ? 255 : state >> 24);
    }
    return drawer.loadImage(pixels, width, height);
}

std::string writeShader(const std::string& folder, const std::string& name, const char* text) {
    const std::string path = folder + "/" + name;
    std::ofstream(path) << text;
    return path;
}

const char* vertexShader = "void main() {\n"
                           "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"
                           "    gl_TexCoord[1] = gl_MultiTexCoord1;\n"
                           "    gl_FrontColor = gl_Color;\n"
                           "    gl_Position = ftransform();\n"
                           "}\n";
const char* postShader = "uniform sampler2D base;\n"
                         "uniform sampler2D second;\n"
                         "uniform float shaderParam;\n"
                         "void main() {\n"
                         "    vec2 uv = vec2(gl_TexCoord[0].s, 1.0 - gl_TexCoord[0].t);\n"
                         "    vec4 noise = texture2D(second, gl_TexCoord[0].st * 4.0);\n"
                         "    gl_FragColor = texture2D(base, uv) * (0.9 + 0.1 * noise.r) + shaderParam;\n"
                         "}\n";

struct Scene {
    unsigned int background, portrait, lines, noise;
    unsigned int news[12];
    unsigned int feathers[4];
    unsigned int feather, ghost, post;
};

int stripHeight = 64;
bool bareLoad = false; // strips and full-screen passes only

void drawFrame(OpenGLDrawer& drawer, const Scene& scene, int frame) {
    drawer.beginDrawing();
    drawer.startFrameBufferDrawing();
    drawer.drawImage(scene.background, 0, 0, 1280.0f / 1024.0f, 720.0f / 512.0f, 1, 1, 1, 1);
    drawer.drawImage(scene.portrait, 0, 0, 1280.0f / 1024.0f, 720.0f / 512.0f, 1, 1, 1, 0.5f);
    drawer.drawImage(scene.lines, 0, 0, 1280.0f / 1024.0f, 720.0f / 512.0f, 1, 1, 1, 0.3f);
    for (int ghost = 0; ghost < (bareLoad ? 0 : 8); ++ghost) {
        drawer.useSecondImage(scene.feathers[ghost % 4]);
        drawer.useShader(scene.ghost, 0);
        drawer.drawImage(scene.news[ghost], 100.0f + ghost * 120, 100, 1, 1, 1, 1, 1, 0.4f);
        drawer.useShader(0, 0);
        drawer.useSecondImage(0);
    }
    for (int entry = 0; entry < 96; ++entry) {
        const float x = 53.0f + (entry % 12) * 107.0f;
        const float y = 45.0f + (entry / 12) * 90.0f;
        if (!bareLoad) {
            drawer.useSecondImage(scene.feathers[entry % 4]);
            drawer.useShader(scene.feather, 0);
        }
        // The game's entries and strips sit off whole pixels.
        const float offset = 0.25f * static_cast<float>((entry + frame) % 4) + 0.125f;
        for (int strip = 0; strip < 8; ++strip) {
            const float top = static_cast<float>(strip * stripHeight);
            const float shift = static_cast<float>((entry * 37 + strip * 53 + frame) % 193 - 96) + offset;
            drawer.drawSubImage(scene.news[(entry + frame / 40) % 12], x - 256 + shift,
                                y - 256 + top + offset, 0, top * 0.001953125f, 1, stripHeight * 0.001953125f,
                                1, 1, 1, 1, 1, 1);
        }
        drawer.useShader(0, 0);
        drawer.useSecondImage(0);
    }
    drawer.setBlendMode(Drawer::Additive);
    for (int copy = 0; copy < (bareLoad ? 0 : 3); ++copy)
        drawer.drawImage(scene.news[copy], 200.0f + copy * 3, 300, 1.5f, 0.25f, copy == 0, copy == 1,
                         copy == 2, 1);
    drawer.setBlendMode(Drawer::Normal);
    drawer.endFrameBufferDrawing();
    drawer.useSecondImage(scene.noise);
    drawer.useShader(scene.post, 0);
    drawer.drawImage(drawer.getFrameBufferImage(), 0, 0, 1, 1, 1, 1, 1, 1);
    drawer.useShader(0, 0);
    drawer.useSecondImage(0);
    drawer.endDrawing();
}

// Processor time of the whole process (every rendering thread), in ms.
double processorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

double processorPerFrame = 0.0; // of the last millisecondsPerFrame

double millisecondsPerFrame(OpenGLDrawer& drawer, const Scene& scene, int frames, int firstFrame = 0) {
    drawFrame(drawer, scene, firstFrame); // warm-up: shader compilation in the driver, first uploads
    delete[] drawer.getScreenPixels();
    const double processorStart = processorMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    for (int frame = firstFrame; frame < firstFrame + frames; ++frame)
        drawFrame(drawer, scene, frame);
    delete[] drawer.getScreenPixels(); // waits for the last frame
    const auto end = std::chrono::steady_clock::now();
    processorPerFrame = (processorMilliseconds() - processorStart) / frames;
    return std::chrono::duration<double, std::milli>(end - start).count() / frames;
}

const int pathCount = 2;
const char* const pathNames[pathCount] = {"Plain path batched:      ", "Culled path:             "};

// The plain path and the culled one in alternating runs of up to 25 frames,
// so that both see the same load on a shared machine.
// Wall and processor milliseconds per frame, [path][0 wall, 1 processor].
void sideBySide(OpenGLDrawer& drawer, const Scene& scene, int frames, double times[pathCount][2]) {
    double totals[pathCount][2] = {};
    for (int done = 0; done < frames; done += 25) {
        const int run = std::min(25, frames - done);
        for (int path = 0; path < pathCount; ++path) {
            drawer.setCulling(path > 0);
            totals[path][0] += millisecondsPerFrame(drawer, scene, run, done) * run;
            totals[path][1] += processorPerFrame * run;
        }
    }
    for (int path = 0; path < pathCount; ++path)
        for (int kind = 0; kind < 2; ++kind)
            times[path][kind] = totals[path][kind] / frames;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    if (argc > 2)
        stripHeight = std::min(64, std::max(1, std::atoi(argv[2])));
    setenv("SDL12COMPAT_OPENGL_SCALING", "0", 1);
    setenv("LUMENFALL_CULLED_DRAWING", "1", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init failed: %s\n", SDL_GetError());
        return 1;
    }
    int status = 0;
    {
        OpenGLDrawer drawer(1280, 720);
        if (!drawer.initialise(1280, 720, false, 0)) {
            std::fprintf(stderr, "Could not open a window: %s\n", SDL_GetError());
            SDL_Quit();
            return 1;
        }
        if (!drawer.canSupport(Drawer::Shaders) || !drawer.canSupport(Drawer::FrameBuffer)) {
            std::fprintf(stderr, "The driver offers no shaders or frame buffers\n");
            status = 1;
        } else {
            char folder[] = "/tmp/lumenfall-benchmark.XXXXXX";
            if (!mkdtemp(folder)) {
                std::perror("mkdtemp");
                return 1;
            }
            const std::string vertex = writeShader(folder, "post.vert", vertexShader);
            Scene scene{};
            scene.background = makePicture(drawer, 1024, 512, 1);
            scene.portrait = makePicture(drawer, 1024, 512, 2);
            scene.lines = makePicture(drawer, 1024, 512, 3);
            scene.noise = makePicture(drawer, 256, 256, 4);
            for (unsigned int i = 0; i < 12; ++i)
                scene.news[i] = makePicture(drawer, 512, 512, 10 + i);
            for (unsigned int i = 0; i < 4; ++i) {
                const std::string name = "/feathers/feather0" + std::to_string(i * 3) + ".png";
                scene.feathers[i] = ImageLoader::loadFileImage(&drawer, LUMENFALL_DATA_DIR + name);
                if (!scene.feathers[i]) {
                    std::fprintf(stderr, "Could not load %s\n", (LUMENFALL_DATA_DIR + name).c_str());
                    return 1;
                }
            }
            const std::string shaders = LUMENFALL_DATA_DIR "/shaders/";
            scene.feather = drawer.loadShader(shaders + "feather.vert", shaders + "feather.frag");
            scene.ghost = drawer.loadShader(shaders + "ghostFeather.vert", shaders + "ghostFeather.frag");
            scene.post = drawer.loadShader(vertex, writeShader(folder, "post.frag", postShader));

            double times[pathCount][2];
            sideBySide(drawer, scene, frames, times);
            std::printf("Strips %d rows high, %d frames\n", stripHeight, frames);
            for (int path = 0; path < pathCount; ++path) {
                std::printf("%s%.1f ms per frame (%.1f ms processor)", pathNames[path], times[path][0],
                            times[path][1]);
                if (path > 0)
                    std::printf(", %.3f of plain (processor %.3f)", times[path][0] / times[0][0],
                                times[path][1] / times[0][1]);
                std::printf("\n");
            }
            std::fflush(stdout);
            drawer.setCulling(false);
            drawer.setBatching(false);
            const double single = millisecondsPerFrame(drawer, scene, frames);
            drawer.setBatching(true);
            bareLoad = true;
            const double bare = millisecondsPerFrame(drawer, scene, frames);
            std::printf("Plain path, one draw per call: %.1f ms per frame over %d frames\n", single, frames);
            std::printf("Plain path, bare load batched: %.1f ms per frame over %d frames "
                        "(plain strips and full-screen passes only)\n",
                        bare, frames);
            std::remove((std::string(folder) + "/post.vert").c_str());
            std::remove((std::string(folder) + "/post.frag").c_str());
            rmdir(folder);
        }
    }
    SDL_Quit();
    return status;
}

#include "OpenGLDrawer.h"

#include "CulledDrawing.h"
#include "FatalCheck.h"
#include "ImageLoader.h"
#include "LineStroke.h"
#include "Log.h"
#include "OpenGLFont.h"
#include "ShaderBuilder.h"
#include "TTFSingleton.h"
#include "TextureUpload.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

const unsigned char* OpenGLDrawer::line_png = LineStroke::linestroke_png;
unsigned int OpenGLDrawer::lineImage = 0;

namespace {

// The off-screen target's size, fixed whatever the canvas or the window.
const int frameBufferWidth = 1280;
const int frameBufferHeight = 720;

void setAttribute(SDL_GLattr attribute, int value, const char* failure) {
    if (SDL_GL_SetAttribute(attribute, value) < 0)
        Log::plain(failure);
}

// The text of glGetString, empty when the driver gives none.
std::string glText(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

bool hasShaderEntryPoints() {
    return glUniform1i && glUniform1f && glCreateShader && glShaderSource && glCompileShader &&
           glCreateProgram && glAttachShader && glLinkProgram && glGetUniformLocation && glUseProgram &&
           glGetShaderiv && glGetProgramiv && glGetShaderInfoLog && glGetProgramInfoLog;
}

bool hasFrameBufferEntryPoints() {
    return glGenFramebuffersEXT && glBindFramebufferEXT && glGenRenderbuffersEXT && glBindRenderbufferEXT &&
           glRenderbufferStorageEXT && glFramebufferRenderbufferEXT && glFramebufferTexture2DEXT &&
           glCheckFramebufferStatusEXT;
}

} // namespace

OpenGLDrawer::OpenGLDrawer(short width, short height) : canvasWidth(width), canvasHeight(height) {
    linePngSize = static_cast<int>(LineStroke::linestroke_png_size);
    // SDL_ttf must be running before the first font is built.
    TTFSingleton::getInstance();
}

OpenGLDrawer::~OpenGLDrawer() {
    // The fonts' atlas textures go with the OpenGL context; only the objects go here.
    for (OpenGLFont* font : fonts)
        delete font;
}

// --- Display set-up ------------------------------------------------------------

bool OpenGLDrawer::initialise(unsigned short width, unsigned short height, bool fullscreen, int antialias) {
    if (!openWithFallbacks(width, height, fullscreen, antialias))
        return false;

    // The mode that opened may be smaller than the one asked for.
    const SDL_Surface* surface = SDL_GetVideoSurface();
    const unsigned short openedWidth = static_cast<unsigned short>(surface->w);
    const unsigned short openedHeight = static_cast<unsigned short>(surface->h);

    GLenum glewStatus = glewInit();
    glewStarted = glewStatus == GLEW_OK;
    if (!glewStarted)
        Log::plain(std::string("OpenGLDrawer: GLEW could not start: ") +
                   reinterpret_cast<const char*>(glewGetErrorString(glewStatus)));
    else
        Log::plain(std::string("Using GLEW ") + reinterpret_cast<const char*>(glewGetString(GLEW_VERSION)) +
                   ".");
    setupShaderFunctions();
    readTextureLimits();
    chooseRenderPath();

    screenWidth = openedWidth;
    screenHeight = openedHeight;
    glyphText.initialise();
    glViewport(0, 0, openedWidth, openedHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    prepareDrawing(openedWidth, openedHeight);
    return true;
}

bool OpenGLDrawer::openWithFallbacks(unsigned short width, unsigned short height, bool fullscreen,
                                     int antialias) {
    // A window that cannot be opened must not leave the game without an
    // OpenGL context: fall back step by step to the most modest mode.
    struct Attempt {
        unsigned short width;
        unsigned short height;
        bool fullscreen;
        int antialias;
        const char* description;
    };
    std::vector<Attempt> attempts{{width, height, fullscreen, antialias, "as requested"}};
    if (antialias > 0)
        attempts.push_back({width, height, fullscreen, 0, "without multisampling"});
    if (fullscreen)
        attempts.push_back({width, height, false, 0, "windowed at the requested size"});
    if (width != 1024 || height != 768)
        attempts.push_back({1024, 768, false, 0, "windowed at 1024 x 768"});

    const bool sixteenBit = is16Bit();
    Log::plain(sixteenBit ? "OpenGLDrawer: Display is 16bit." : "OpenGLDrawer: Display is 32bit.");
    requestAttributes(sixteenBit, antialias);
    bool opened = false;
    for (size_t i = 0; i < attempts.size() && !opened; ++i) {
        const Attempt& attempt = attempts[i];
        if (i > 0) {
            Log::plain(std::string("OpenGLDrawer: Could not set video mode (") + SDL_GetError() +
                       "); trying again " + attempt.description + ".");
            if (!restartVideo())
                return false;
            requestAttributes(sixteenBit, attempt.antialias);
        }
        opened = openVideoMode(attempt.width, attempt.height, attempt.fullscreen, attempt.antialias);
        fullScreen = opened && attempt.fullscreen;
    }
    return opened;
}

bool OpenGLDrawer::restartVideo() {
    // SDL 1.2 on SDL 2 keeps asking for the refused visual after a failed
    // mode, whatever the attributes say since; video started afresh asks
    // anew, in either SDL. Only the window's caption is kept.
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    const std::string caption = title ? title : "";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) < 0)
        return false;
    SDL_WM_SetCaption(caption.c_str(), nullptr);
    return true;
}

bool OpenGLDrawer::changeDisplayMode(unsigned short width, unsigned short height, bool fullscreen) {
    flush();
    if (!openVideoMode(width, height, fullscreen, 0))
        return false;
    fullScreen = fullscreen;
    // SDL keeps the window and its OpenGL context when only the size or
    // full screen changes, so every texture and program stays valid.
    const SDL_Surface* surface = SDL_GetVideoSurface();
    screenWidth = static_cast<unsigned short>(surface->w);
    screenHeight = static_cast<unsigned short>(surface->h);
    viewportOffsetX = 0.0f;
    viewportOffsetY = 0.0f;
    glViewport(0, 0, screenWidth, screenHeight);
    applyCanvasFit(screenWidth, screenHeight);
    glClear(GL_COLOR_BUFFER_BIT);
    return true;
}

bool OpenGLDrawer::displayHasOpenGL() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    int errorBase = 0;
    int eventBase = 0;
    bool found = glXQueryExtension(display, &errorBase, &eventBase);
    XCloseDisplay(display);
    return found;
}

void OpenGLDrawer::chooseRenderPath() {
    const std::string renderer = glText(GL_RENDERER);
    Log::plain("OpenGL renderer: " + renderer + " (OpenGL " + glText(GL_VERSION) + ").");
    if (CulledDrawing::isSoftwareRenderer(renderer))
        Log::plain("OpenGL is rendered in software here: the frame rate will be low. Installing the "
                   "graphics card's own OpenGL driver makes the game run smoothly.");
    const CulledDrawing::Choice choice = CulledDrawing::choose(
        renderer, std::getenv("LUMENFALL_PLAIN_DRAWING"), std::getenv("LUMENFALL_CULLED_DRAWING"),
        frameBuffersAreSupported && twoTextureUnits && shadersAreSupported);
    Log::plain(choice.reason);
    culled.reset(choice.culled ? new CulledDrawing : nullptr);
}

// Remembers the largest texture side, which no picture may pass, and logs
// it with what a 2048 x 2048 proxy texture reports.
void OpenGLDrawer::readTextureLimits() {
    GLint largestTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largestTexture);
    LOG_DEBUG("GL_MAX_TEXTURE_SIZE = " + std::to_string(largestTexture));
    if (largestTexture > 0)
        maxTextureSize = std::min(static_cast<unsigned int>(largestTexture), 65536u);
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, GL_RGBA, 2048, 2048, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLint proxyWidth = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &proxyWidth);
    LOG_DEBUG("GL_TEXTURE_WIDTH = " + std::to_string(proxyWidth));
}

void OpenGLDrawer::initialiseLight(unsigned short width, unsigned short height) {
    screenWidth = width;
    screenHeight = height;
    // On this platform every entry point past OpenGL 1.1, the frame buffer's
    // included, comes through GLEW, so it is started here too.
    glewStarted = glewInit() == GLEW_OK;
    setupShaderFunctions();
    GLint largestTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largestTexture);
    if (largestTexture > 0)
        maxTextureSize = std::min(static_cast<unsigned int>(largestTexture), 65536u);
    glyphText.initialise();
    prepareDrawing(width, height);
}

void OpenGLDrawer::requestAttributes(bool sixteenBit, int antialias) {
    if (sixteenBit) {
        setAttribute(SDL_GL_RED_SIZE, 5, "OpenGLDrawer: Could not set red pixel size to 5...");
        setAttribute(SDL_GL_GREEN_SIZE, 5, "OpenGLDrawer: Could not set green pixel size to 5...");
        setAttribute(SDL_GL_BLUE_SIZE, 5, "OpenGLDrawer: Could not set blue pixel size to 5...");
    } else {
        setAttribute(SDL_GL_RED_SIZE, 8, "OpenGLDrawer: Could not set red pixel size to 8...");
        setAttribute(SDL_GL_GREEN_SIZE, 8, "OpenGLDrawer: Could not set green pixel size to 8...");
        setAttribute(SDL_GL_BLUE_SIZE, 8, "OpenGLDrawer: Could not set blue pixel size to 8...");
        setAttribute(SDL_GL_ALPHA_SIZE, 8, "OpenGLDrawer: Could not set alpha pixel size to 8...");
    }
    setAttribute(SDL_GL_DEPTH_SIZE, 16, "OpenGLDrawer: Could not set depth size to 16...");
    setAttribute(SDL_GL_DOUBLEBUFFER, 1, "OpenGLDrawer: Could not set double buffering...");
    setAttribute(SDL_GL_SWAP_CONTROL, 1, "OpenGLDrawer: Could not set vertical sync...");
    // Both always: SDL 1.2 on SDL 2 remembers the samples past a restart of the video.
    setAttribute(SDL_GL_MULTISAMPLEBUFFERS, antialias > 0 ? 1 : 0,
                 "OpenGLDrawer: Could not set multi sample buffers...");
    setAttribute(SDL_GL_MULTISAMPLESAMPLES, antialias > 0 ? antialias : 0,
                 "OpenGLDrawer: Could not set multi sample samples...");
}

bool OpenGLDrawer::openVideoMode(unsigned short width, unsigned short height, bool fullscreen, int) {
    Uint32 flags = SDL_OPENGL;
    if (fullscreen)
        flags |= SDL_FULLSCREEN;
    else
        setenv("SDL_VIDEO_CENTERED", "1", 1);
    return SDL_SetVideoMode(width, height, 0, flags) != nullptr;
}

bool OpenGLDrawer::is16Bit() {
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    return info && info->vfmt && info->vfmt->BitsPerPixel == 16;
}

void OpenGLDrawer::setupShaderFunctions() {
    // Without a context, or after a failed start, GLEW's pointers are not
    // trusted; a driver may also lack single entry points that its version
    // promises. Each feature is used only when every entry point it calls
    // is there: the shaders also need the second texture unit.
    twoTextureUnits = glewStarted && glActiveTextureARB && glMultiTexCoord2fARB;
    blendEquationIsSupported = glewStarted && glBlendEquation;
    if (glewStarted && GLEW_VERSION_2_0 && twoTextureUnits && hasShaderEntryPoints()) {
        Log::plain("OpenGL shaders are available.");
        shadersAreSupported = true;
        uniform1i = glUniform1i;
        uniform1f = glUniform1f;
        createShaderObject = glCreateShader;
        shaderSource = glShaderSource;
        compileShader = glCompileShader;
        createProgramObject = glCreateProgram;
        attachObject = glAttachShader;
        linkProgram = glLinkProgram;
        getUniformLocation = glGetUniformLocation;
        useProgramObject = glUseProgram;
    } else {
        Log::plain("OpenGL shaders are not available; drawing without post-processing.");
        installNullShaderFunctions();
    }
    frameBuffersAreSupported = glewStarted && GLEW_EXT_framebuffer_object && hasFrameBufferEntryPoints();
}

void OpenGLDrawer::installNullShaderFunctions() {
    shadersAreSupported = false;
    uniform1i = nullUniform1i;
    uniform1f = nullUniform1f;
    createShaderObject = nullCreateShaderObject;
    shaderSource = nullShaderSource;
    compileShader = nullCompileShader;
    createProgramObject = nullCreateProgramObject;
    attachObject = nullAttachObject;
    linkProgram = nullLinkProgram;
    getUniformLocation = nullGetUniformLocation;
    useProgramObject = nullUseProgramObject;
}

void OpenGLDrawer::prepareDrawing(unsigned short width, unsigned short height) {
    applyCanvasFit(width, height);
    makeFrameBuffer();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, canvasWidth, canvasHeight, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    setFixedState();
    loadLineImage();
}

OpenGLDrawer::CanvasFit OpenGLDrawer::fitCanvas(short cw, short ch, unsigned short w, unsigned short h) {
    const float canvasAspect = static_cast<float>(ch) / static_cast<float>(cw);
    const float screenAspect = static_cast<float>(h) / static_cast<float>(w);
    CanvasFit fit{static_cast<float>(w), static_cast<float>(h), 0.0f, 0.0f, false};
    if (canvasAspect == screenAspect) {
        fit.sameProportions = true;
    } else if (canvasAspect > screenAspect) {
        // Wider window: full height, borders left and right.
        fit.actualHeight = h;
        fit.actualWidth = static_cast<float>(cw) / static_cast<float>(ch) * h;
        fit.viewportOffsetX = (w - fit.actualWidth) * 0.5f;
    } else {
        // Taller window: full width, borders top and bottom.
        fit.actualWidth = w;
        fit.actualHeight = w * canvasAspect;
        fit.viewportOffsetY = (h - fit.actualHeight) * 0.5f;
    }
    return fit;
}

void OpenGLDrawer::applyCanvasFit(unsigned short width, unsigned short height) {
    CanvasFit fit = fitCanvas(canvasWidth, canvasHeight, width, height);
    actualWidth = fit.actualWidth;
    actualHeight = fit.actualHeight;
    if (!fit.sameProportions) {
        viewportOffsetX = fit.viewportOffsetX;
        viewportOffsetY = fit.viewportOffsetY;
        glViewport(static_cast<GLint>(viewportOffsetX), static_cast<GLint>(viewportOffsetY),
                   static_cast<GLsizei>(actualWidth), static_cast<GLsizei>(actualHeight));
    }
}

OpenGLDrawer::ViewportRect OpenGLDrawer::viewportFor(short x, short y, short width, short height, short cw,
                                                     short ch, float actualWidth, float actualHeight,
                                                     float offsetX, float offsetY) {
    const float canvasW = cw;
    const float canvasH = ch;
    const short vw = static_cast<short>(width / canvasW * actualWidth);
    const short vh = static_cast<short>(height / canvasH * actualHeight);
    const float vx = static_cast<short>(x / canvasW * actualWidth) + offsetX;
    // OpenGL counts window rows from the bottom.
    const float vy = actualHeight - (static_cast<short>(y / canvasH * actualHeight) + vh) + offsetY;
    return ViewportRect{static_cast<int>(vx), static_cast<int>(vy), vw, vh};
}

void OpenGLDrawer::setViewport(short x, short y, short width, short height) {
    flush();
    drawingOutsideRuns();
    frameBufferDrawing = false;
    ViewportRect rect = viewportFor(x, y, width, height, canvasWidth, canvasHeight, actualWidth, actualHeight,
                                    viewportOffsetX, viewportOffsetY);
    glViewport(rect.x, rect.y, rect.width, rect.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width, height, 0);
    glMatrixMode(GL_MODELVIEW);
}

void OpenGLDrawer::resetViewport() {
    flush();
    drawingOutsideRuns();
    frameBufferDrawing = false;
    glViewport(static_cast<GLint>(viewportOffsetX), static_cast<GLint>(viewportOffsetY),
               static_cast<GLsizei>(actualWidth), static_cast<GLsizei>(actualHeight));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, canvasWidth, canvasHeight, 0);
    glMatrixMode(GL_MODELVIEW);
}

void OpenGLDrawer::setFixedState() {
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
}

void OpenGLDrawer::loadLineImage() {
    // The handle is class-wide, but a drawer on a fresh context (or one whose
    // images do not hold it) needs its own copy of the texture.
    if (lineImage != 0 && images.count(lineImage))
        return;
    ImageLoader loader;
    ImageData line = loader.loadImage(reinterpret_cast<const char*>(line_png), linePngSize);
    lineImage = loadImage(line.pixels, line.width, line.height);
}

bool OpenGLDrawer::canSupport(GraphicsCapabilities capability) const {
    switch (capability) {
    case Shaders:
        Log::plain(std::string("canSupport(Shaders) => ") + (shadersAreSupported ? "1" : "0"));
        return shadersAreSupported;
    case FrameBuffer:
        Log::plain(std::string("canSupport(FrameBuffer) => ") + (frameBuffersAreSupported ? "1" : "0"));
        return frameBuffersAreSupported;
    default:
        return false;
    }
}

// --- Textures and primitives -----------------------------------------------------

unsigned int OpenGLDrawer::findFreeHandle() {
    while (images.count(nextImageHandle))
        ++nextImageHandle;
    return nextImageHandle;
}

bool OpenGLDrawer::fitsTexture(unsigned int width, unsigned int height) const {
    // The record keeps sides below 65536; checked first, so that powerOfTwo
    // is never asked for more than 65536.
    return width < 65536 && height < 65536 && powerOfTwo(width) <= maxTextureSize &&
           powerOfTwo(height) <= maxTextureSize;
}

unsigned int OpenGLDrawer::loadImage(unsigned char* pixels, unsigned int width, unsigned int height) {
    if (!pixels)
        return 0;
    if (width == 0 || height == 0 || !fitsTexture(width, height)) {
        delete[] pixels;
        return 0;
    }
    flush();
    float maxU = 1.0f;
    float maxV = 1.0f;
    const unsigned int paddedWidth = powerOfTwo(width);
    const unsigned int paddedHeight = powerOfTwo(height);
    if (!isPowerOfTwo(width) || !isPowerOfTwo(height)) {
        // Pad to powers of two, repeating the right edge's alpha byte along
        // each row and the last row downwards, so linear filtering at the
        // image's edges does not pull in black.
        const size_t paddedRowBytes = static_cast<size_t>(paddedWidth) * 4;
        unsigned char* padded = new (std::nothrow) unsigned char[paddedRowBytes * paddedHeight]();
        if (!padded) {
            delete[] pixels;
            return 0;
        }
        TextureUpload::copyPaddedRows(padded, pixels, width, height, paddedWidth);
        const unsigned char* lastRow = padded + (height - 1) * paddedRowBytes;
        for (size_t y = height; y < paddedHeight; ++y)
            std::memcpy(padded + y * paddedRowBytes, lastRow, paddedRowBytes);
        maxU = static_cast<float>(width) / static_cast<float>(paddedWidth);
        maxV = static_cast<float>(height) / static_cast<float>(paddedHeight);
        delete[] pixels;
        pixels = padded;
    }

    const GLuint texture = TextureUpload::make(pixels, paddedWidth, paddedHeight, texInterp, true);
    const unsigned int handle = findFreeHandle();
    if (culled)
        culled->measure(handle, pixels, paddedWidth, paddedHeight, texInterp);
    delete[] pixels;

    images[handle] =
        Image{texture, static_cast<unsigned short>(width), static_cast<unsigned short>(height), maxU, maxV};
    return handle;
}

void OpenGLDrawer::releaseImage(unsigned int image) {
    auto it = images.find(image);
    if (it == images.end())
        return;
    flush();
    glDeleteTextures(1, &it->second.texture);
    images.erase(it);
    if (culled)
        culled->forget(image);
}

const OpenGLDrawer::Image* OpenGLDrawer::getImage(unsigned int image) const {
    auto it = images.find(image);
    return it == images.end() ? nullptr : &it->second;
}

const OpenGLDrawer::Polygon* OpenGLDrawer::getPolygon(unsigned int polygon) const {
    return polygons.get(polygon);
}

const OpenGLDrawer::Image& OpenGLDrawer::findImage(unsigned int image) const {
    auto it = images.find(image);
    FATAL_CHECK(it != images.end());
    return it->second;
}

void OpenGLDrawer::bindImageUnits(const Image& image) {
    if (twoTextureUnits)
        glActiveTextureARB(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, image.texture);
    if (currentProgram)
        uniform1i(baseLocation, 0);
    // With one texture unit the second image is left out.
    const Image* second = secondRecord();
    if (second) {
        glActiveTextureARB(GL_TEXTURE1);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, second->texture);
        if (currentProgram)
            uniform1i(secondLocation, 1);
        glActiveTextureARB(GL_TEXTURE0);
    }
}

void OpenGLDrawer::unbindImageUnits() {
    if (twoTextureUnits) {
        glActiveTextureARB(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
        glActiveTextureARB(GL_TEXTURE0);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

void OpenGLDrawer::beginQuads(const Image& image) {
    drawingOutsideRuns();
    const Image* second = secondRecord();
    const unsigned int secondTexture = second ? second->texture : 0;
    if (batchOpen && image.texture == batchTexture && secondTexture == batchSecondTexture)
        return;
    endQuads();
    bindImageUnits(image);
    glBegin(GL_QUADS);
    batchOpen = true;
    batchTexture = image.texture;
    batchSecondTexture = secondTexture;
}

void OpenGLDrawer::endQuads() {
    if (!batchOpen)
        return;
    glEnd();
    unbindImageUnits();
    batchOpen = false;
}

const OpenGLDrawer::Image* OpenGLDrawer::secondRecord() const {
    // With one texture unit the second image is left out.
    if (!secondImage || !twoTextureUnits)
        return nullptr;
    return getImage(secondImage);
}

void OpenGLDrawer::flush() {
    endQuads();
    drawHeld();
}

void OpenGLDrawer::drawHeld() {
    if (!culled || !culled->holdsAny())
        return;
    // Held draws blend by adding, whatever the mode set since.
    applyBlendMode(Normal);
    culled->drawHeld(canvasWidth, canvasHeight);
    applyBlendMode(blendMode);
    useProgramObject(currentProgram);
    if (currentProgram)
        uniform1f(shaderParamLocation, currentParam);
}

void OpenGLDrawer::setBatching(bool enabled) {
    flush();
    batching = enabled;
}

void OpenGLDrawer::drawingOutsideRuns() {
    if (culled && frameBufferDrawing)
        culled->invalidate();
}

void OpenGLDrawer::setCulling(bool enabled) {
    flush();
    if (culled)
        culled->invalidate();
    culling = enabled;
}

namespace {

// One corner with the same texture coordinate on both units: the second
// image is sampled where the first is. glTexCoord2f sets unit 0's, as
// glMultiTexCoord2fARB(GL_TEXTURE0) would, without needing that entry point.
inline void corner(float u, float v, float x, float y, bool twoUnits) {
    glTexCoord2f(u, v);
    if (twoUnits)
        glMultiTexCoord2fARB(GL_TEXTURE1, u, v);
    glVertex2f(x, y);
}

} // namespace

void OpenGLDrawer::drawImage(unsigned int image, float x, float y, float scaleX, float scaleY, float r,
                             float g, float b, float a) {
    const Image& record = findImage(image);
    const float w = record.width * scaleX;
    const float h = record.height * scaleY;
    drawQuad(image, record, x, y, w, h, 0.0f, 0.0f, record.maxU, record.maxV, r, g, b, a);
}

void OpenGLDrawer::drawSubImage(unsigned int image, float x, float y, float sourceX, float sourceY,
                                float sourceWidth, float sourceHeight, float scaleX, float scaleY, float r,
                                float g, float b, float a) {
    const Image& record = findImage(image);
    const float w = record.width * sourceWidth * scaleX;
    const float h = record.height * sourceHeight * scaleY;
    const float uLeft = record.maxU * sourceX;
    const float vTop = record.maxV * sourceY;
    const float uRight = uLeft + sourceWidth * record.maxU;
    const float vBottom = vTop + sourceHeight * record.maxV;
    drawQuad(image, record, x, y, w, h, uLeft, vTop, uRight, vBottom, r, g, b, a);
}

void OpenGLDrawer::drawQuad(unsigned int image, const Image& record, float x, float y, float w, float h,
                            float uLeft, float vTop, float uRight, float vBottom, float r, float g, float b,
                            float a) {
    if (culled && culling) {
        const Image* second = secondRecord();
        std::optional<CulledDrawing::Picture> secondPicture;
        if (second)
            secondPicture = CulledDrawing::Picture{secondImage, second->texture};
        const CulledDrawing::Draw draw{{image, record.texture},
                                       secondPicture,
                                       currentProgram,
                                       currentParam,
                                       blendMode,
                                       frameBufferDrawing,
                                       offsetX,
                                       offsetY,
                                       {x, y, w, h, uLeft, vTop, uRight, vBottom, r, g, b, a}};
        const CulledDrawing::Answer answer = culled->take(draw);
        if (answer == CulledDrawing::Answer::Held)
            endQuads();
        if (answer != CulledDrawing::Answer::DrawNow)
            return;
        drawHeld();
    }
    beginQuads(record);
    glColor4f(r, g, b, a);
    corner(uLeft, vTop, x, y, twoTextureUnits);
    corner(uRight, vTop, x + w, y, twoTextureUnits);
    corner(uRight, vBottom, x + w, y + h, twoTextureUnits);
    corner(uLeft, vBottom, x, y + h, twoTextureUnits);
    if (!batching)
        endQuads();
}

void OpenGLDrawer::drawImageRot(unsigned int image, float x, float y, float angle, float pivotX, float pivotY,
                                float scaleX, float scaleY, float r, float g, float b, float a) {
    const Image& record = findImage(image);
    flush();
    drawingOutsideRuns();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glScalef(scaleX, scaleY, 1.0f);
    glTranslatef(pivotX, pivotY, 0.0f);
    glRotatef(angle, 0.0f, 0.0f, 1.0f);
    glTranslatef(-pivotX, -pivotY, 0.0f);
    glBindTexture(GL_TEXTURE_2D, record.texture);
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(record.maxU, 0.0f);
    glVertex2f(record.width, 0.0f);
    glTexCoord2f(record.maxU, record.maxV);
    glVertex2f(record.width, record.height);
    glTexCoord2f(0.0f, record.maxV);
    glVertex2f(0.0f, record.height);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopMatrix();
}

unsigned int OpenGLDrawer::loadPoly(float* points, int count) {
    return polygons.add(points, count);
}

void OpenGLDrawer::drawPoly(unsigned int polygon, unsigned int image, float x, float y, float scaleX,
                            float scaleY, float r, float g, float b, float a) {
    auto it = images.find(image);
    if (it == images.end() || !polygons.get(polygon))
        return;
    flush();
    drawingOutsideRuns();
    const Polygon& shape = *polygons.get(polygon);
    glEnable(GL_TEXTURE_2D);
    bindImageUnits(it->second);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glScalef(scaleX, scaleY, 1.0f);
    glColor4f(r, g, b, a);
    glBegin(GL_TRIANGLES);
    for (int k = 1; k < shape.numPoints; ++k) {
        const int next = k + 1 < shape.numPoints ? k + 1 : 1;
        glTexCoord2f(shape.uCoords[0], shape.vCoords[0]);
        if (twoTextureUnits)
            glMultiTexCoord2fARB(GL_TEXTURE1, 0.5f, 1.0f);
        glVertex2f(shape.xPoints[0], shape.yPoints[0]);
        glTexCoord2f(shape.uCoords[k], shape.vCoords[k]);
        if (twoTextureUnits)
            glMultiTexCoord2fARB(GL_TEXTURE1, 0.0f, 0.0f);
        glVertex2f(shape.xPoints[k], shape.yPoints[k]);
        glTexCoord2f(shape.uCoords[next], shape.vCoords[next]);
        if (twoTextureUnits)
            glMultiTexCoord2fARB(GL_TEXTURE1, 1.0f, 0.0f);
        glVertex2f(shape.xPoints[next], shape.yPoints[next]);
    }
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glPopMatrix();
    unbindImageUnits();
}

void OpenGLDrawer::drawLine(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    const float length = std::sqrt(dx * dx + dy * dy);
    // A line of no length has no direction to be widened across.
    if (!(length > 0.0f))
        return;
    flush();
    drawingOutsideRuns();
    const float nx = -dy / length * 4.0f;
    const float ny = dx / length * 4.0f;
    auto it = images.find(lineImage);
    glBindTexture(GL_TEXTURE_2D, it != images.end() ? it->second.texture : 0);
    glColor4f(r, g, b, a);
    // The stroke's columns (its alpha profile) run across the line.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x1 + nx, y1 + ny);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x2 + nx, y2 + ny);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x2 - nx, y2 - ny);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x1 - nx, y1 - ny);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void OpenGLDrawer::fillRect(float x, float y, float width, float height, unsigned char r, unsigned char g,
                            unsigned char b, unsigned char a) {
    flush();
    drawingOutsideRuns();
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4ub(r, g, b, a);
    glBegin(GL_QUADS);
    glVertex2f(x, y);
    glVertex2f(x + width, y);
    glVertex2f(x + width, y + height);
    glVertex2f(x, y + height);
    glEnd();
}

void OpenGLDrawer::fillGradient(float x, float y, float width, float height, unsigned char r1,
                                unsigned char g1, unsigned char b1, unsigned char a1, unsigned char r2,
                                unsigned char g2, unsigned char b2, unsigned char a2) {
    flush();
    drawingOutsideRuns();
    glBindTexture(GL_TEXTURE_2D, 0);
    glBegin(GL_QUADS);
    glColor4ub(r1, g1, b1, a1);
    glVertex2f(x, y);
    glVertex2f(x + width, y);
    glColor4ub(r2, g2, b2, a2);
    glVertex2f(x + width, y + height);
    glVertex2f(x, y + height);
    glEnd();
}

void OpenGLDrawer::translate(float x, float y) {
    flush();
    offsetX += x;
    offsetY += y;
    glTranslatef(x, y, 0.0f);
}

void OpenGLDrawer::setBlendMode(BlendMode mode) {
    // Draws held back keep their own blending.
    endQuads();
    blendMode = mode;
    applyBlendMode(mode);
}

void OpenGLDrawer::applyBlendMode(BlendMode mode) {
    switch (mode) {
    case Normal:
        applyBlend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD);
        break;
    case Additive:
        applyBlend(GL_SRC_ALPHA, GL_ONE, GL_FUNC_ADD);
        break;
    case Subtractive:
        applyBlend(GL_DST_COLOR, GL_SRC_ALPHA, GL_FUNC_SUBTRACT);
        break;
    default:
        break;
    }
}

// Without glBlendEquation the equation stays OpenGL's initial one, adding,
// and the subtractive mode draws with its factors only.
void OpenGLDrawer::applyBlend(unsigned int source, unsigned int target, unsigned int equation) {
    glBlendFunc(source, target);
    if (blendEquationIsSupported)
        glBlendEquation(equation);
}

// --- Frame cycle, shaders and the frame buffer ------------------------------------

void OpenGLDrawer::beginDrawing() {
    flush();
    drawingOutsideRuns(); // the clear, when a frame buffer is still bound
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    offsetX = 0.0f;
    offsetY = 0.0f;
}

void OpenGLDrawer::endDrawing() {
    flush();
    SDL_GL_SwapBuffers();
    secondImage = 0;
}

unsigned char* OpenGLDrawer::getScreenPixels() {
    flush();
    const size_t size = static_cast<size_t>(screenWidth) * screenHeight * 3;
    unsigned char* pixels = new unsigned char[size];
    SDL_GL_SwapBuffers();
    std::memset(pixels, 0, size);
    // Rows of 3-byte pixels are not padded to 4 bytes in the buffer.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, screenWidth, screenHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    return pixels;
}

std::string OpenGLDrawer::loadShaderFile(const std::string& path) {
    return ShaderBuilder::readSource(path);
}

unsigned int OpenGLDrawer::loadShader(const std::string& vertexFile, const std::string& fragmentFile) {
    if (!shadersAreSupported)
        return 0;
    flush();
    const ShaderBuilder::Entries entries{createShaderObject,  shaderSource, compileShader,
                                         createProgramObject, attachObject, linkProgram};
    std::string fragmentText;
    const unsigned int program = ShaderBuilder::build(entries, vertexFile, fragmentFile, fragmentText);
    if (culled)
        culled->readPromises(program, fragmentText);
    baseLocation = getUniformLocation(program, "base");
    secondLocation = getUniformLocation(program, "second");
    shaderParamLocation = getUniformLocation(program, "shaderParam");
    return program;
}

void OpenGLDrawer::useShader(unsigned int program, float param) {
    // Held-back draws keep their own program and images.
    endQuads();
    useProgramObject(program);
    currentProgram = program;
    currentParam = param;
    // Setting a uniform with no program current is an OpenGL error.
    if (program)
        uniform1f(shaderParamLocation, param);
}

void OpenGLDrawer::useSecondImage(unsigned int image) {
    endQuads();
    secondImage = image;
}

void OpenGLDrawer::makeFrameBuffer() {
    if (culled)
        culled->invalidate();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, frameBufferWidth, frameBufferHeight, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);

    // The image is registered even without frame-buffer support, so the
    // handles the drawer takes for itself stay the same everywhere.
    if (frameBuffersAreSupported) {
        GLuint name = 0;
        glGenFramebuffersEXT(1, &name);
        frameBuffer = name;
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer);
        GLuint depth = 0;
        glGenRenderbuffersEXT(1, &depth);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, frameBufferWidth,
                                 frameBufferHeight);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
    }
    frameBufferImage = findFreeHandle();
    images[frameBufferImage] = Image{texture, frameBufferWidth, frameBufferHeight, 1.0f, 1.0f};
    if (frameBuffersAreSupported) {
        if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT)
            Log::plain("Uh oh.");
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    if (frameBuffersAreSupported)
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void OpenGLDrawer::startFrameBufferDrawing() {
    if (!frameBuffersAreSupported)
        return;
    flush();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, canvasWidth, canvasHeight);
    gluOrtho2D(0, canvasWidth, canvasHeight, 0);
    glMatrixMode(GL_MODELVIEW);
    frameBufferDrawing = true;
}

void OpenGLDrawer::endFrameBufferDrawing() {
    if (!frameBuffersAreSupported)
        return;
    flush();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    frameBufferDrawing = false;
    resetViewport();
}

// --- Text --------------------------------------------------------------------------

void OpenGLDrawer::loadGlyph(Glyph glyph, unsigned char* pixels, unsigned int size) {
    if (glyph < 0 || glyph >= NumGlyphs) {
        delete[] pixels;
        return;
    }
    flush();
    if (culled)
        culled->invalidate();
    glyphText.load(glyph, pixels, size, fitsTexture(size, size), texInterp);
}

void OpenGLDrawer::drawText(const std::string& text, float x, float y, float size, float r, float g, float b,
                            float a) {
    flush();
    drawingOutsideRuns();
    glyphText.draw(text, x, y, size, r, g, b, a);
}

unsigned int OpenGLDrawer::loadFont(const std::string& name, float size) {
    flush();
    OpenGLFont* font = new OpenGLFont(name, size);
    if (!font->isLoaded()) {
        delete font;
        return 0;
    }
    fonts.push_back(font);
    return static_cast<unsigned int>(fonts.size());
}

void OpenGLDrawer::drawText(const std::string& text, unsigned int font, float x, float y, float wrapWidth,
                            float scale, float r, float g, float b, float a) {
    if (font == 0) {
        drawText(text, x, y, scale * 32.0f, r, g, b, a);
        return;
    }
    if (font > fonts.size())
        return;
    flush();
    drawingOutsideRuns();
    fonts[font - 1]->draw(text, x, y, wrapWidth, scale, r, g, b, a);
}

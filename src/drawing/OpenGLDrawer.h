#pragma once

#include "Drawer.h"
#include "GlyphText.h"
#include "PolygonSet.h"
#include "TextureUpload.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class CulledDrawing;
class OpenGLFont;

// The OpenGL 2 drawer on an SDL 1.2 window. It fits the logical canvas into
// the window with black borders, keeps images as power-of-two textures under
// handles, draws an off-screen 1280 x 720 frame buffer and runs GLSL programs
// with one float parameter and two image inputs ("base", "second").
//
// Consecutive drawImage/drawSubImage calls on the same image and second image
// are sent to OpenGL as one primitive batch; every other operation first ends
// the open batch, so the draw order and the picture are those of one draw per
// call. Code that calls OpenGL itself between draws must call flush() first,
// and setCulling(false) before it draws into the frame buffer.
//
// The path is chosen once, from the renderer, before the first picture is
// loaded (CulledDrawing::choose): software rasterisers get the culled path,
// where textured draws into the frame buffer are held back and filled only
// where they can change the picture (CulledDrawing); every other renderer
// gets the plain path, and nothing is measured or held.
// No OpenGL types appear here, so including this header pulls in no OpenGL.
class OpenGLDrawer : public Drawer {
public:
    struct Image {
        unsigned int texture; // OpenGL texture name
        unsigned short width; // the image's own size in pixels, not the padded texture's
        unsigned short height;
        float maxU; // texture coordinates of the right and bottom edges (1 when unpadded)
        float maxV;
    };

    using Polygon = PolygonSet::Polygon;

    // Where the canvas lands in a window, in window pixels (offsets are the
    // left and bottom borders).
    struct CanvasFit {
        float actualWidth;
        float actualHeight;
        float viewportOffsetX;
        float viewportOffsetY;
        bool sameProportions; // no borders; the offsets are left as they were
    };

    // A glViewport rectangle in window pixels, rows counted from the bottom.
    struct ViewportRect {
        int x;
        int y;
        int width;
        int height;
    };

    // The shader entry points, with OpenGL's own parameter types.
    using Uniform1iEntry = void (*)(int location, int value);
    using Uniform1fEntry = void (*)(int location, float value);
    using CreateShaderEntry = unsigned int (*)(unsigned int type);
    using ShaderSourceEntry = void (*)(unsigned int shader, int count, const char* const* text,
                                       const int* lengths);
    using CompileShaderEntry = void (*)(unsigned int shader);
    using CreateProgramEntry = unsigned int (*)();
    using AttachShaderEntry = void (*)(unsigned int program, unsigned int shader);
    using LinkProgramEntry = void (*)(unsigned int program);
    using GetUniformLocationEntry = int (*)(unsigned int program, const char* name);
    using UseProgramEntry = void (*)(unsigned int program);

    static const unsigned char* line_png; // the embedded 8 x 8 line stroke PNG
    static unsigned int lineImage;        // its image handle once loaded, 0 before

    OpenGLDrawer(short width, short height);
    ~OpenGLDrawer() override;
    OpenGLDrawer(const OpenGLDrawer&) = delete;
    OpenGLDrawer& operator=(const OpenGLDrawer&) = delete;

    bool initialise(unsigned short width, unsigned short height, bool fullscreen, int antialias) override;
    void initialiseLight(unsigned short width, unsigned short height) override;
    // Re-opens the window at another size, or in or out of full screen, and
    // fits the canvas into it again; false when SDL refused the mode.
    bool changeDisplayMode(unsigned short width, unsigned short height, bool fullscreen);
    // Whether the mode that opened last is full screen: initialise may have
    // fallen back to a window.
    bool isFullScreen() const { return fullScreen; }
    // Whether the X display offers OpenGL (GLX) at all.
    static bool displayHasOpenGL();
    // Refuses (handle 0, buffer released, nothing logged: the caller names the
    // picture) a picture whose padded texture would be larger than the
    // driver's largest on either side, or whose padded copy cannot be
    // allocated.
    unsigned int loadImage(unsigned char* pixels, unsigned int width, unsigned int height) override;
    void releaseImage(unsigned int image) override;
    unsigned int loadPoly(float* points, int count) override;
    // A fragment program may promise in its source what it computes
    // (CulledDrawing::maskedMark and colourMark); the culled path holds
    // its draws by that.
    unsigned int loadShader(const std::string& vertexFile, const std::string& fragmentFile) override;
    bool getShadersAreSupported() const override { return shadersAreSupported; }
    unsigned int loadFont(const std::string& name, float size) override;
    void beginDrawing() override;
    void endDrawing() override;
    unsigned char* getScreenPixels() override;
    void useShader(unsigned int program, float param) override;
    void useSecondImage(unsigned int image) override;
    void setBlendMode(BlendMode mode) override;
    void drawImage(unsigned int image, float x, float y, float scaleX, float scaleY, float r, float g,
                   float b, float a) override;
    void drawImageRot(unsigned int image, float x, float y, float angle, float pivotX, float pivotY,
                      float scaleX, float scaleY, float r, float g, float b, float a) override;
    void drawSubImage(unsigned int image, float x, float y, float sourceX, float sourceY, float sourceWidth,
                      float sourceHeight, float scaleX, float scaleY, float r, float g, float b,
                      float a) override;
    void drawPoly(unsigned int polygon, unsigned int image, float x, float y, float scaleX, float scaleY,
                  float r, float g, float b, float a) override;
    void drawText(const std::string& text, float x, float y, float size, float r, float g, float b,
                  float a) override;
    void drawText(const std::string& text, unsigned int font, float x, float y, float wrapWidth, float scale,
                  float r, float g, float b, float a) override;
    void drawLine(float x1, float y1, float x2, float y2, float r, float g, float b, float a) override;
    void fillRect(float x, float y, float width, float height, unsigned char r, unsigned char g,
                  unsigned char b, unsigned char a) override;
    void fillGradient(float x, float y, float width, float height, unsigned char r1, unsigned char g1,
                      unsigned char b1, unsigned char a1, unsigned char r2, unsigned char g2,
                      unsigned char b2, unsigned char a2) override;
    void translate(float x, float y) override;
    void setViewport(short x, short y, short width, short height) override;
    void resetViewport() override;
    short getActualWidth() const override { return static_cast<short>(actualWidth); }
    short getActualHeight() const override { return static_cast<short>(actualHeight); }
    short getViewportOffsetX() const override { return static_cast<short>(viewportOffsetX); }
    short getViewportOffsetY() const override { return static_cast<short>(viewportOffsetY); }
    void startFrameBufferDrawing() override;
    void endFrameBufferDrawing() override;
    unsigned int getFrameBufferImage() const override { return frameBufferImage; }
    bool canSupport(GraphicsCapabilities capability) const override;
    // Takes B, G, R, A bytes, as the image loader gives them. A picture that
    // no texture can hold becomes a 1 x 1 transparent glyph, as one that
    // failed to decode does.
    void loadGlyph(Glyph glyph, unsigned char* pixels, unsigned int size) override;

    short getCanvasWidth() const { return canvasWidth; }
    short getCanvasHeight() const { return canvasHeight; }
    // Window size in pixels of the mode that opened (may differ from the request).
    unsigned short getScreenWidth() const { return screenWidth; }
    unsigned short getScreenHeight() const { return screenHeight; }
    // For textures made afterwards: linear (true, the default) or nearest filtering.
    void setTexInterp(bool interpolate) { texInterp = interpolate; }
    bool is16Bit();
    // Decides from what GLEW found which entry points past OpenGL 1.1 are
    // used; after a failed GLEW start, none: one texture unit, no shaders, no
    // frame buffer, no blend equation.
    void setupShaderFunctions();
    // Sends any batched draws to OpenGL and restores the texture units.
    void flush();
    // Whether consecutive draws may share one batch (true by default); off
    // gives one OpenGL primitive per call.
    void setBatching(bool enabled);
    // Whether the culled path, when it was chosen, takes the draws from now
    // on (true by default); false draws them as the plain path does, to
    // compare pictures and speed. Without the culled path it changes nothing.
    void setCulling(bool enabled);
    // Whether the culled path was chosen at start.
    bool hasCulledPath() const { return culled != nullptr; }
    // The culled path's draws so far, or null without it.
    const CulledDrawing* getCulledPath() const { return culled.get(); }
    int getGlyphPadding() const { return glyphText.getPadding(); }
    Image getGlyph(Glyph glyph) const {
        const unsigned short side = static_cast<unsigned short>(glyphText.size(glyph));
        return Image{glyphText.texture(glyph), side, side, 1.0f, 1.0f};
    }
    // Textures the drawer holds: its images (the frame buffer's and the
    // line stroke's among them) and the glyphs.
    size_t getLiveTextures() const { return images.size() + NumGlyphs; }
    // Null when no image has the handle.
    const Image* getImage(unsigned int image) const;
    const Polygon* getPolygon(unsigned int polygon) const;

    // The whole content of a text file; empty when it cannot be read.
    std::string loadShaderFile(const std::string& path);

    // Canvas cw x ch fitted into a window w x h with equal borders.
    static CanvasFit fitCanvas(short cw, short ch, unsigned short w, unsigned short h);
    // The glViewport rectangle for a canvas rectangle (x, y, width, height),
    // y down, given the canvas size and the fitted area.
    static ViewportRect viewportFor(short x, short y, short width, short height, short cw, short ch,
                                    float actualWidth, float actualHeight, float offsetX, float offsetY);
    // Smallest power of two not below n (1 for 0 and 1).
    static unsigned int powerOfTwo(unsigned int n) { return TextureUpload::powerOfTwo(n); }
    static bool isPowerOfTwo(unsigned int n) { return TextureUpload::isPowerOfTwo(n); }

    // Null entries installed when the driver has no shader support.
    static void nullUniform1i(int, int) {}
    static void nullUniform1f(int, float) {}
    static unsigned int nullCreateShaderObject(unsigned int) { return 0; }
    static void nullShaderSource(unsigned int, int, const char* const*, const int*) {}
    static void nullCompileShader(unsigned int) {}
    static unsigned int nullCreateProgramObject() { return 0; }
    static void nullAttachObject(unsigned int, unsigned int) {}
    static void nullLinkProgram(unsigned int) {}
    static int nullGetUniformLocation(unsigned int, const char*) { return 0; }
    static void nullUseProgramObject(unsigned int) {}

protected:
    // One attempt at the video mode (the multisample attributes are already
    // set); whether a surface came back.
    virtual bool openVideoMode(unsigned short width, unsigned short height, bool fullscreen, int antialias);

private:
    // Asks for the colour depth, double buffering, vertical sync and
    // antialias samples (none for 0).
    void requestAttributes(bool sixteenBit, int antialias);
    // Closes and starts SDL's video again, before another attempt at a mode.
    bool restartVideo();
    // Opens the requested mode, else each more modest one in turn; false
    // when none opened.
    bool openWithFallbacks(unsigned short width, unsigned short height, bool fullscreen, int antialias);
    // Keeps and logs the largest texture side the driver takes.
    void readTextureLimits();
    // Logs GL_RENDERER and GL_VERSION, a warning for software rendering and
    // the drawing path, which it chooses from the renderer.
    void chooseRenderPath();
    // Blend factors (GLenum values) and, where the driver has it, equation.
    void applyBlend(unsigned int source, unsigned int target, unsigned int equation);
    void applyBlendMode(BlendMode mode);
    void prepareDrawing(unsigned short width, unsigned short height);
    void applyCanvasFit(unsigned short width, unsigned short height);
    void makeFrameBuffer();
    void setFixedState();
    void loadLineImage();
    void installNullShaderFunctions();
    unsigned int findFreeHandle();
    const Image& findImage(unsigned int image) const;
    // Whether a picture of this size, padded to powers of two, fits one texture.
    bool fitsTexture(unsigned int width, unsigned int height) const;
    // Two-unit set-up and clean-up around drawImage, drawSubImage and drawPoly.
    void bindImageUnits(const Image& image);
    void unbindImageUnits();
    // Opens (or continues) a batch of quads for the image.
    void beginQuads(const Image& image);
    void endQuads();
    // One textured quad through the culled path, or the batch.
    void drawQuad(unsigned int image, const Image& record, float x, float y, float w, float h, float uLeft,
                  float vTop, float uRight, float vBottom, float r, float g, float b, float a);
    // The second image's record, when it is set and can be drawn.
    const Image* secondRecord() const;
    // Fills the culled path's held draws, then sets the drawer's own blend
    // mode and program again.
    void drawHeld();
    // Tells the culled path that the frame buffer gets more than its runs.
    void drawingOutsideRuns();

    short canvasWidth;
    short canvasHeight;
    std::map<unsigned int, Image> images;
    PolygonSet polygons;
    GlyphText glyphText;
    std::vector<OpenGLFont*> fonts;
    unsigned int secondImage = 0;
    int baseLocation = -1; // of "base", "second" and "shaderParam" in the program loaded last
    int secondLocation = -1;
    int shaderParamLocation = -1;
    unsigned int nextImageHandle = 1;
    unsigned short screenWidth = 1024;
    unsigned short screenHeight = 768;
    bool fullScreen = false;
    float viewportOffsetX = 0;
    float viewportOffsetY = 0;
    float actualWidth = 1024.0f;
    float actualHeight = 768.0f;
    bool texInterp = true;
    unsigned int frameBuffer = 0;
    unsigned int frameBufferImage = 0;
    bool shadersAreSupported = true;
    bool frameBuffersAreSupported = false;
    bool glewStarted = false;
    bool twoTextureUnits = false;
    bool blendEquationIsSupported = false;
    // Side of the largest texture the driver takes (asked once the context
    // exists); an image record holds sides below 65536.
    unsigned int maxTextureSize = 65536;
    Uniform1iEntry uniform1i = nullUniform1i;
    Uniform1fEntry uniform1f = nullUniform1f;
    CreateShaderEntry createShaderObject = nullCreateShaderObject;
    ShaderSourceEntry shaderSource = nullShaderSource;
    CompileShaderEntry compileShader = nullCompileShader;
    CreateProgramEntry createProgramObject = nullCreateProgramObject;
    AttachShaderEntry attachObject = nullAttachObject;
    LinkProgramEntry linkProgram = nullLinkProgram;
    GetUniformLocationEntry getUniformLocation = nullGetUniformLocation;
    UseProgramEntry useProgramObject = nullUseProgramObject;
    int linePngSize = 144;

    unsigned int currentProgram = 0; // uniforms are set only while a program is current
    bool batching = true;
    bool batchOpen = false;
    unsigned int batchTexture = 0;
    unsigned int batchSecondTexture = 0;

    BlendMode blendMode = Normal;
    bool frameBufferDrawing = false; // canvas units are frame buffer pixels
    float offsetX = 0.0f;            // the translation since the frame began
    float offsetY = 0.0f;
    float currentParam = 0.0f;
    std::unique_ptr<CulledDrawing> culled; // only on the culled path
    bool culling = true;
};

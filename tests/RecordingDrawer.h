#pragma once

#include "Drawer.h"

#include <string>
#include <vector>

// A Drawer for logic tests: it draws nothing and records every call in order,
// with its name and arguments. Numbers (handles, coordinates, colours, enum
// values, sizes) go to `numbers` in argument order, strings to `texts`.
// loadImage hands out increasing handles from 1 (0 for null pixels, as the
// interface promises) and, like loadGlyph, deletes the buffer it is given.
// Tests set the answers of the query operations through the public fields.
class RecordingDrawer : public Drawer {
public:
    struct Call {
        std::string name;
        std::vector<double> numbers;
        std::vector<std::string> texts;
    };

    // Recorded calls, oldest first; mutable so that the const queries are
    // recorded too.
    mutable std::vector<Call> calls;

    // Answers the drawer gives.
    bool supportsShaders = false;      // canSupport(Shaders), getShadersAreSupported
    bool supportsFrameBuffer = false;  // canSupport(FrameBuffer)
    unsigned int frameBufferImage = 0; // getFrameBufferImage
    bool initialiseResult = true;      // initialise
    bool shadersFail = false;          // loadShader returns 0
    short actualWidth = 1280;          // getActualWidth; also the getScreenPixels width
    short actualHeight = 720;          // getActualHeight; also the getScreenPixels height
    short viewportOffsetX = 0;         // getViewportOffsetX
    short viewportOffsetY = 0;         // getViewportOffsetY
    unsigned int nextImage = 1;        // the next handle loadImage gives
    unsigned int nextShader = 1;       // the next handle loadShader gives
    unsigned int nextFont = 1;         // the next handle loadFont gives
    unsigned int nextPoly = 0;         // the next index loadPoly gives

    // The recorded calls with this name, oldest first.
    std::vector<Call> named(const std::string& name) const;
    // How many calls with this name were recorded. The font form of drawText
    // is recorded as "drawFontText".
    int count(const std::string& name) const;
    // The names of all recorded calls, in order.
    std::vector<std::string> names() const;
    void clear() { calls.clear(); }

    bool initialise(unsigned short width, unsigned short height, bool fullscreen, int antialias) override;
    void initialiseLight(unsigned short width, unsigned short height) override;
    unsigned int loadImage(unsigned char* pixels, unsigned int width, unsigned int height) override;
    void releaseImage(unsigned int image) override;
    unsigned int loadPoly(float* points, int count) override;
    unsigned int loadShader(const std::string& vertexFile, const std::string& fragmentFile) override;
    bool getShadersAreSupported() const override;
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
    short getActualWidth() const override;
    short getActualHeight() const override;
    short getViewportOffsetX() const override;
    short getViewportOffsetY() const override;
    void startFrameBufferDrawing() override;
    void endFrameBufferDrawing() override;
    unsigned int getFrameBufferImage() const override;
    bool canSupport(GraphicsCapabilities capability) const override;
    void loadGlyph(Glyph glyph, unsigned char* pixels, unsigned int size) override;

private:
    void record(const std::string& name, std::vector<double> numbers = {},
                std::vector<std::string> texts = {}) const;
};

#pragma once

#include <string>

// The drawing interface every screen and effect draws through. Positions and
// sizes are in units of a fixed logical canvas (origin top-left, y down);
// float colours are 0..1 and multiply the image's texels. Images, shader
// programs and fonts are named by handles; 0 names nothing. Pixel buffers
// handed to loadImage/loadGlyph are allocated with new[] and owned by the
// drawer from the call on. Use a drawer only from the thread that initialised it.
class Drawer {
public:
    enum BlendMode { Normal, Additive, Subtractive };
    enum GraphicsCapabilities { Shaders, FrameBuffer };
    enum Glyph {
        GlyphA,
        GlyphB,
        GlyphC,
        GlyphD,
        GlyphE,
        GlyphF,
        GlyphG,
        GlyphH,
        GlyphI,
        GlyphJ,
        GlyphK,
        GlyphL,
        GlyphM,
        GlyphN,
        GlyphO,
        GlyphP,
        GlyphQ,
        GlyphR,
        GlyphS,
        GlyphT,
        GlyphU,
        GlyphV,
        GlyphW,
        GlyphX,
        GlyphY,
        GlyphZ,
        Glyph0,
        Glyph1,
        Glyph2,
        Glyph3,
        Glyph4,
        Glyph5,
        Glyph6,
        Glyph7,
        Glyph8,
        Glyph9,
        GlyphPeriod,
        GlyphComma,
        GlyphPlus,
        GlyphMinus,
        GlyphExclaim,
        GlyphQuestion,
        GlyphColon,
        GlyphUnderscore,
        NumGlyphs
    };

    virtual ~Drawer();

    // Opens the display; returns whether the video mode could be set.
    virtual bool initialise(unsigned short width, unsigned short height, bool fullscreen, int antialias) = 0;
    // Prepares drawing state for a display that already exists.
    virtual void initialiseLight(unsigned short width, unsigned short height) = 0;
    // pixels: B, G, R, A bytes, rows top to bottom; returns 0 when pixels is null.
    virtual unsigned int loadImage(unsigned char* pixels, unsigned int width, unsigned int height) = 0;
    virtual void releaseImage(unsigned int image) = 0;
    // points: count x,y pairs in canvas units; returns the polygon's index.
    virtual unsigned int loadPoly(float* points, int count) = 0;
    // Full paths of the two sources; 0 when shaders are unsupported.
    virtual unsigned int loadShader(const std::string& vertexFile, const std::string& fragmentFile);
    virtual bool getShadersAreSupported() const;
    // Handles count from 1; 0 when the font could not be built.
    virtual unsigned int loadFont(const std::string& name, float size) = 0;
    virtual void beginDrawing() = 0;
    // Shows the frame and forgets the second image.
    virtual void endDrawing() = 0;
    // The window's pixels as R, G, B bytes, bottom row first; the caller delete[]s it.
    virtual unsigned char* getScreenPixels() = 0;
    virtual void useShader(unsigned int program, float param);
    virtual void useSecondImage(unsigned int image);
    virtual void setBlendMode(BlendMode mode);
    virtual void drawImage(unsigned int image, float x, float y, float scaleX, float scaleY, float r, float g,
                           float b, float a) = 0;
    // angle in degrees (clockwise on screen); pivot in the image's own pixels.
    virtual void drawImageRot(unsigned int image, float x, float y, float angle, float pivotX, float pivotY,
                              float scaleX, float scaleY, float r, float g, float b, float a) = 0;
    // source rectangle in fractions 0..1 of the image's size.
    virtual void drawSubImage(unsigned int image, float x, float y, float sourceX, float sourceY,
                              float sourceWidth, float sourceHeight, float scaleX, float scaleY, float r,
                              float g, float b, float a) = 0;
    virtual void drawPoly(unsigned int polygon, unsigned int image, float x, float y, float scaleX,
                          float scaleY, float r, float g, float b, float a) = 0;
    // Built-in glyph text, each character a square size units wide.
    virtual void drawText(const std::string& text, float x, float y, float size, float r, float g, float b,
                          float a) = 0;
    // Text in a loaded font, wrapped at wrapWidth; font 0 draws glyph text of size scale * 32.
    virtual void drawText(const std::string& text, unsigned int font, float x, float y, float wrapWidth,
                          float scale, float r, float g, float b, float a) = 0;
    // A soft-edged line 8 units wide.
    virtual void drawLine(float x1, float y1, float x2, float y2, float r, float g, float b, float a) = 0;
    virtual void fillRect(float x, float y, float width, float height, unsigned char r, unsigned char g,
                          unsigned char b, unsigned char a) = 0;
    // Shades from the first colour at the top edge to the second at the bottom.
    virtual void fillGradient(float x, float y, float width, float height, unsigned char r1, unsigned char g1,
                              unsigned char b1, unsigned char a1, unsigned char r2, unsigned char g2,
                              unsigned char b2, unsigned char a2) = 0;
    virtual void translate(float x, float y) = 0;
    // Restricts drawing to a canvas rectangle whose top-left becomes the origin.
    virtual void setViewport(short x, short y, short width, short height) = 0;
    virtual void resetViewport() = 0;
    // Size in window pixels of the area the canvas fills.
    virtual short getActualWidth() const = 0;
    virtual short getActualHeight() const = 0;
    // Left and bottom borders in window pixels.
    virtual short getViewportOffsetX() const = 0;
    virtual short getViewportOffsetY() const = 0;
    virtual void startFrameBufferDrawing();
    virtual void endFrameBufferDrawing();
    virtual unsigned int getFrameBufferImage() const;
    virtual bool canSupport(GraphicsCapabilities capability) const;
    // Replaces a built-in glyph by a square image size pixels wide (R, G, B, A).
    virtual void loadGlyph(Glyph glyph, unsigned char* pixels, unsigned int size) = 0;
};

#pragma once

#include <string>
#include <vector>

struct SDL_Surface;
typedef struct _TTF_Font TTF_Font;

// A TrueType font rendered once by SDL_ttf into a square texture atlas of the
// 81 characters in OpenGLFont::characters, and drawn from it with word
// wrapping. Characters outside the set are drawn as blanks.
class OpenGLFont {
public:
    struct Glyph {
        char character;
        float x; // top-left corner of the cell in the atlas, pixels
        float y;
        float width;   // cell width in atlas pixels
        float xOffset; // shift of the cell from the pen, 0 or negative
        float advance; // how far the pen moves, atlas pixels
    };

    // One glyph placed by the wrapping: its index in the character set and
    // the screen position of its cell's top-left corner.
    struct Placement {
        int glyph;
        float x;
        float y;
    };

    static const char characters[];
    static const int charactersSize; // 81; the last, the blank, stands in for unknown characters

    // Finds the file name in the font folders and builds the atlas at the
    // point size (truncated); isLoaded() says whether that worked.
    OpenGLFont(const std::string& name, float size);

    bool isLoaded() const { return loaded; }
    int getAtlasSize() const { return atlasSize; }
    float getLineHeight() const { return lineHeight; }
    const std::vector<Glyph>& getGlyphs() const { return glyphs; }

    // Draws text from (x, y), breaking lines that reach wrapWidth at the last
    // blank; lines are lineHeight apart (not scaled).
    void draw(const std::string& text, float x, float y, float wrapWidth, float scale, float r, float g,
              float b, float a);
    // Where draw puts each glyph, without drawing.
    std::vector<Placement> layout(const std::string& text, float x, float y, float wrapWidth,
                                  float scale) const;
    // Draws the atlas cell at (x, y) width wide, scaled, at the screen position.
    void drawGlyph(float x, float y, float width, float scale, float screenX, float screenY, float r, float g,
                   float b, float a);
    // The whole atlas as a black-tinted 800 x 800 square, for inspection.
    void drawAtlas();

    // The first font folder that holds a file of that name, else empty.
    static std::string getFontPath(const std::string& name);
    static std::vector<std::string> getFontFolders();
    static unsigned int powerOfTwo(unsigned int n);

private:
    // Copies a rendered glyph into the atlas with its top-left pixel at
    // (column, row + rowOffset - 1), clipped to the atlas.
    void copyGlyph(unsigned char* buffer, SDL_Surface* surface, int column, int row, int rowOffset);
    // Renders the character set into the atlas buffer, cellsPerSide + 1 cells
    // a row, and records each glyph's cell.
    void renderGlyphs(TTF_Font* font, unsigned char* buffer, float maxAdvance, float maxHeight,
                      int cellsPerSide);
    // Hands the atlas buffer to OpenGL as the font's texture.
    void uploadAtlas(const unsigned char* buffer);
    static int indexOf(char c);

    unsigned int texture = 0;
    std::vector<Glyph> glyphs;
    int atlasSize = 0;
    float lineHeight = 0.0f;
    bool loaded = false;
};

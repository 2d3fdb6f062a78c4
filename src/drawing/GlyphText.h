#pragma once

#include "Drawer.h"

#include <string>

// The glyph set of glyph text: one square picture for each letter (either
// case), digit and sign, drawn as textured squares with the current
// blending. Until a glyph's picture is loaded it is a white square. Uses
// the current OpenGL context; the textures go with it.
class GlyphText {
public:
    // White 16 x 16 squares for every glyph.
    void initialise();
    // Takes size x size B, G, R, A bytes made with new[] (null for a picture
    // that failed to decode), or fits false for one no texture can hold:
    // both become a 1 x 1 transparent glyph.
    void load(Drawer::Glyph glyph, unsigned char* pixels, unsigned int size, bool fits, bool interpolate);
    // Squares of size canvas units from (x, y); characters without a glyph
    // leave a gap.
    void draw(const std::string& text, float x, float y, float size, float r, float g, float b,
              float a) const;
    unsigned int texture(Drawer::Glyph glyph) const { return glyphs[glyph].texture; }
    // The side of the glyph's texture, padded to a power of two.
    unsigned int size(Drawer::Glyph glyph) const { return glyphs[glyph].size; }
    int getPadding() const { return padding; }

private:
    struct Picture {
        unsigned int texture;
        unsigned int size; // of the padded texture
    };
    Picture glyphs[Drawer::NumGlyphs] = {};
    int padding = 0; // blank columns on the right of the last padded picture
};

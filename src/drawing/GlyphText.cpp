#include "GlyphText.h"

#include "TextureUpload.h"

#include <GL/glew.h>

#include <cmath>
#include <cstring>
#include <new>

namespace {

// Glyph for a character of glyph text; -1 for one without a picture.
int glyphFor(char c) {
    if (c >= 'a' && c <= 'z')
        return Drawer::GlyphA + (c - 'a');
    if (c >= 'A' && c <= 'Z')
        return Drawer::GlyphA + (c - 'A');
    if (c >= '0' && c <= '9')
        return Drawer::Glyph0 + (c - '0');
    // The signs in the order of their glyphs, from GlyphPeriod on.
    static const char signs[] = ".,+-!?:_";
    const char* sign = c != '\0' ? std::strchr(signs, c) : nullptr;
    return sign ? Drawer::GlyphPeriod + static_cast<int>(sign - signs) : -1;
}

} // namespace

void GlyphText::initialise() {
    unsigned char white[16 * 16 * 4];
    std::memset(white, 255, sizeof white);
    for (Picture& glyph : glyphs)
        glyph = Picture{TextureUpload::make(white, 16, 16, true, false), 16};
}

void GlyphText::load(Drawer::Glyph glyph, unsigned char* pixels, unsigned int size, bool fits,
                     bool interpolate) {
    if (pixels && !fits) {
        delete[] pixels;
        pixels = nullptr;
    }
    if (!pixels)
        size = 0;
    if (!TextureUpload::isPowerOfTwo(size)) {
        const unsigned int padded = TextureUpload::powerOfTwo(size);
        unsigned char* buffer = new (std::nothrow) unsigned char[static_cast<size_t>(padded) * padded * 4]();
        if (!buffer) {
            // Too large to pad: a transparent glyph instead.
            delete[] pixels;
            pixels = nullptr;
            size = 0;
            buffer = new unsigned char[4]();
        }
        padding = static_cast<int>(TextureUpload::powerOfTwo(size) - size);
        if (pixels)
            TextureUpload::copyPaddedRows(buffer, pixels, size, size, padded);
        delete[] pixels;
        pixels = buffer;
        size = TextureUpload::powerOfTwo(size);
    }
    const unsigned int texture = TextureUpload::make(pixels, size, size, interpolate, false);
    if (glyphs[glyph].texture)
        glDeleteTextures(1, &glyphs[glyph].texture);
    glyphs[glyph] = Picture{texture, size};
    delete[] pixels;
}

void GlyphText::draw(const std::string& text, float x, float y, float size, float r, float g, float b,
                     float a) const {
    // A padded glyph picture has blank columns on its right; the pen moves
    // past the picture's own width only.
    const float step = size - std::trunc(padding * (size / glyphs[Drawer::GlyphA].size));
    for (char c : text) {
        const int glyph = glyphFor(c);
        if (glyph >= 0) {
            glBindTexture(GL_TEXTURE_2D, glyphs[glyph].texture);
            glColor4f(r, g, b, a);
            glBegin(GL_QUADS);
            glTexCoord2f(0.0f, 0.0f);
            glVertex2f(x, y);
            glTexCoord2f(1.0f, 0.0f);
            glVertex2f(x + size, y);
            glTexCoord2f(1.0f, 1.0f);
            glVertex2f(x + size, y + size);
            glTexCoord2f(0.0f, 1.0f);
            glVertex2f(x, y + size);
            glEnd();
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        x += step;
    }
}

#include "OpenGLFont.h"

#include "FilePath.h"
#include "Log.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL/SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <sys/stat.h>

const char OpenGLFont::characters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                      "+-=.,;:'?()!\"\\/<>_ ";
const int OpenGLFont::charactersSize = 81;

namespace {

const int blankIndex = 80;

bool isFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The largest advance and the largest ink height of the character set.
struct Measures {
    float maxAdvance = 0.0f;
    float maxHeight = 0.0f;
};

Measures measureGlyphs(TTF_Font* font) {
    Measures measures;
    for (int i = 0; i < OpenGLFont::charactersSize; ++i) {
        int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
        TTF_GlyphMetrics(font, static_cast<Uint16>(OpenGLFont::characters[i]), &minx, &maxx, &miny, &maxy,
                         &advance);
        measures.maxAdvance = std::max(measures.maxAdvance, static_cast<float>(advance));
        measures.maxHeight = std::max(measures.maxHeight, static_cast<float>(maxy - miny));
    }
    return measures;
}

// An atlas buffer, white everywhere, transparent until a glyph's coverage
// lands in alpha.
unsigned char* newBlankAtlas(int atlasSize) {
    const size_t pixelCount = static_cast<size_t>(atlasSize) * atlasSize;
    unsigned char* buffer = new unsigned char[pixelCount * 4];
    for (size_t i = 0; i < pixelCount; ++i) {
        buffer[i * 4] = 255;
        buffer[i * 4 + 1] = 255;
        buffer[i * 4 + 2] = 255;
        buffer[i * 4 + 3] = 0;
    }
    return buffer;
}

// Breaks an overflowing line: cuts the pending glyphs back to their last
// blank, whose followers start the next line, else before the character that
// overflowed, else keeps that character. Returns the index of the next
// character of the text to read; i is that of the overflowing one.
size_t breakLine(std::vector<int>& pending, size_t i, bool& brokeAtBlank) {
    // Only the blank character counts as a blank; an unknown character is
    // drawn like one but is not a place to break.
    int blank = -1;
    for (int k = static_cast<int>(pending.size()) - 1; k >= 0; --k) {
        if (pending[k] == blankIndex) {
            blank = k;
            break;
        }
    }
    if (blank >= 0) {
        // The characters after the blank start the next line.
        i = i + 1 - (pending.size() - 1 - static_cast<size_t>(blank));
        pending.resize(static_cast<size_t>(blank));
        brokeAtBlank = true;
    } else if (!brokeAtBlank && pending.size() > 1) {
        // Cut the word before the character that overflowed.
        pending.pop_back();
    } else {
        // Keep the character on this line: either the text has broken at
        // a blank before, or the character alone is wider than the wrap
        // width and taking it again would never end.
        ++i;
    }
    return i;
}

} // namespace

std::vector<std::string> OpenGLFont::getFontFolders() {
    // The user's and the system's font folders, then the game's own.
    std::vector<std::string> folders;
    for (const FilePath& folder : FilePath::getFontsDirs())
        folders.push_back(folder.path);
    FilePath data = FilePath::getDataFilesDir();
    if (!data.path.empty())
        folders.push_back(data.getChild("fonts").path);
    return folders;
}

std::string OpenGLFont::getFontPath(const std::string& name) {
    if (name.empty())
        return "";
    for (const std::string& folder : getFontFolders()) {
        const std::string path = folder + "/" + name;
        if (isFile(path))
            return path;
    }
    return "";
}

unsigned int OpenGLFont::powerOfTwo(unsigned int n) {
    unsigned int p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

int OpenGLFont::indexOf(char c) {
    const char* found = static_cast<const char*>(std::memchr(characters, c, charactersSize));
    return found ? static_cast<int>(found - characters) : -1;
}

OpenGLFont::OpenGLFont(const std::string& name, float size) {
    const std::string path = getFontPath(name);
    LOG_DEBUG(std::string("OpenGLFont: Initial error status = ") +
              reinterpret_cast<const char*>(gluErrorString(glGetError())));
    if (path.empty()) {
        Log::plain("OpenGLFont: Could not find font: " + name);
        return;
    }
    TTF_Font* font = TTF_OpenFont(path.c_str(), static_cast<int>(size));
    if (!font) {
        Log::plain("OpenGLFont: Could not load font: " + name);
        return;
    }

    const Measures measures = measureGlyphs(font);
    lineHeight = std::max({static_cast<float>(TTF_FontLineSkip(font)),
                           static_cast<float>(TTF_FontHeight(font)), measures.maxHeight}) +
                 4.0f;
    const int cellsPerSide = static_cast<int>(std::sqrt(static_cast<double>(charactersSize))) + 1;
    atlasSize = static_cast<int>(
        powerOfTwo(static_cast<unsigned int>(std::max(measures.maxAdvance, lineHeight) * cellsPerSide)));

    std::ostringstream sizeText;
    sizeText << size;
    LOG_DEBUG("font " + name + ":" + sizeText.str() + " atlasSize = " + std::to_string(atlasSize));
    if (atlasSize > 1024)
        LOG_DEBUG("OpenGLFont: Warning: Font atlas dimensions greater than 1024: (" +
                  std::to_string(atlasSize) + ")");
    LOG_DEBUG("OpenGLFont: Little endian architecture, not flipping bytes.");

    unsigned char* buffer = newBlankAtlas(atlasSize);
    renderGlyphs(font, buffer, measures.maxAdvance, measures.maxHeight, cellsPerSide);
    uploadAtlas(buffer);
    delete[] buffer;
    TTF_CloseFont(font);
    loaded = true;
}

void OpenGLFont::renderGlyphs(TTF_Font* font, unsigned char* buffer, float maxAdvance, float maxHeight,
                              int cellsPerSide) {
    const SDL_Color white{255, 255, 255, 0};
    int column = 0;
    float rowY = 0.0f;
    for (int i = 0; i < charactersSize; ++i) {
        const Uint16 character = static_cast<Uint16>(characters[i]);
        int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
        TTF_GlyphMetrics(font, character, &minx, &maxx, &miny, &maxy, &advance);
        SDL_Surface* surface = TTF_RenderGlyph_Blended(font, character, white);
        if (surface)
            copyGlyph(buffer, surface, static_cast<int>(column * maxAdvance),
                      static_cast<int>(maxHeight - maxy), static_cast<int>(rowY));
        Glyph glyph{characters[i], column * maxAdvance, rowY, 0.0f, 0.0f, 0.0f};
        const float inkWidth = static_cast<float>(maxx - minx);
        if (advance < inkWidth) {
            // Ink that overhangs its advance (italics, some signs) gets a
            // wider cell centred on the pen's step.
            glyph.width = inkWidth;
            glyph.advance = static_cast<float>(advance);
            glyph.xOffset = (inkWidth - advance) * -0.5f;
        } else {
            glyph.width = static_cast<float>(advance);
            glyph.advance = static_cast<float>(advance);
        }
        glyphs.push_back(glyph);
        if (surface)
            SDL_FreeSurface(surface);
        ++column;
        if (column > cellsPerSide) {
            column = 0;
            rowY += lineHeight + 4.0f;
        }
    }
}

void OpenGLFont::uploadAtlas(const unsigned char* buffer) {
    GLuint name_ = 0;
    glGenTextures(1, &name_);
    texture = name_;
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, atlasSize, atlasSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, buffer);
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR)
        LOG_DEBUG(std::string("OpenGLFont: GL error = ") +
                  reinterpret_cast<const char*>(gluErrorString(error)));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void OpenGLFont::copyGlyph(unsigned char* buffer, SDL_Surface* surface, int column, int row, int rowOffset) {
    // SDL_ttf's blended glyphs are 32-bit with the coverage in the alpha mask;
    // on a little-endian machine that is the fourth byte, so rows copy as they
    // are into the atlas's R, G, B, A bytes.
    if (SDL_MUSTLOCK(surface))
        SDL_LockSurface(surface);
    const int top = row + rowOffset - 1;
    const unsigned char* pixels = static_cast<const unsigned char*>(surface->pixels);
    for (int y = 0; y < surface->h; ++y) {
        const int atlasRow = top + y;
        if (atlasRow < 0 || atlasRow >= atlasSize)
            continue;
        const int first = std::max(0, -column);
        const int last = std::min(surface->w, atlasSize - column);
        if (last <= first)
            continue;
        std::memcpy(buffer + (static_cast<size_t>(atlasRow) * atlasSize + column + first) * 4,
                    pixels + y * surface->pitch + first * 4, static_cast<size_t>(last - first) * 4);
    }
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
}

std::vector<OpenGLFont::Placement> OpenGLFont::layout(const std::string& text, float x, float y,
                                                      float wrapWidth, float scale) const {
    std::vector<Placement> placements;
    if (!loaded)
        return placements;
    std::vector<int> pending; // glyph indexes; -1 for a character outside the set
    float lineWidth = 0.0f;
    bool brokeAtBlank = false;
    auto advanceOf = [this](int entry) { return glyphs[entry < 0 ? blankIndex : entry].advance; };
    auto placeLine = [&]() {
        float pen = x;
        for (int entry : pending) {
            if (entry >= 0)
                placements.push_back(Placement{entry, pen + glyphs[entry].xOffset, y});
            pen += scale * advanceOf(entry);
        }
    };

    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            placeLine();
            y += lineHeight;
            pending.clear();
            lineWidth = 0.0f;
            ++i;
            continue;
        }
        const int entry = indexOf(c);
        pending.push_back(entry);
        lineWidth += scale * advanceOf(entry);
        if (lineWidth < wrapWidth) {
            ++i;
            continue;
        }
        i = breakLine(pending, i, brokeAtBlank);
        placeLine();
        y += lineHeight;
        pending.clear();
        lineWidth = 0.0f;
    }
    if (!pending.empty())
        placeLine();
    return placements;
}

void OpenGLFont::draw(const std::string& text, float x, float y, float wrapWidth, float scale, float r,
                      float g, float b, float a) {
    for (const Placement& placement : layout(text, x, y, wrapWidth, scale)) {
        const Glyph& glyph = glyphs[placement.glyph];
        drawGlyph(glyph.x, glyph.y, glyph.width, scale, placement.x, placement.y, r, g, b, a);
    }
}

void OpenGLFont::drawGlyph(float x, float y, float width, float scale, float screenX, float screenY, float r,
                           float g, float b, float a) {
    const float size = static_cast<float>(atlasSize);
    const float h = lineHeight + 2.0f;
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    // Unit 0's coordinates; glTexCoord2f needs no entry point from GLEW.
    glTexCoord2f(x / size, y / size);
    glVertex2f(screenX, screenY);
    glTexCoord2f((x + width) / size, y / size);
    glVertex2f(screenX + width * scale, screenY);
    glTexCoord2f((x + width) / size, (y + h) / size);
    glVertex2f(screenX + width * scale, screenY + h * scale);
    glTexCoord2f(x / size, (y + h) / size);
    glVertex2f(screenX, screenY + h * scale);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void OpenGLFont::drawAtlas() {
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(800.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(800.0f, 800.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 800.0f);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

#include "CulledDrawing.h"

#include <GL/glew.h>

#include <cstring>
#include <malloc.h>
#include <vector>

const char* const CulledDrawing::maskedMark = "// alpha: base.a * colour.a * second.r";
const char* const CulledDrawing::colourMark = "// rgb: base.rgb * colour.rgb";

namespace {

bool switchedOn(const char* value) {
    return value && *value && std::strcmp(value, "0") != 0;
}

// One corner with the same texture coordinate on both units when the
// second is in use: the second image is sampled where the first is.
inline void corner(float u, float v, float x, float y, bool twoUnits) {
    glTexCoord2f(u, v);
    if (twoUnits)
        glMultiTexCoord2fARB(GL_TEXTURE1, u, v);
    glVertex2f(x, y);
}

void applyBlend(Drawer::BlendMode mode) {
    // Only normal and additive draws are held; both add.
    glBlendFunc(GL_SRC_ALPHA, mode == Drawer::Additive ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
}

// A texture of the pixels' alpha alone, filtered as the picture's own.
unsigned int makeAlphaTexture(const unsigned char* pixels, unsigned int width, unsigned int height,
                              bool interpolate) {
    std::vector<unsigned char> alpha(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = pixels[i * 4 + 3];
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, width, height, 0, GL_ALPHA, GL_UNSIGNED_BYTE, alpha.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    const GLint filter = interpolate ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

} // namespace

CulledDrawing::CulledDrawing() {
    // A software rasteriser allocates and frees its bins and vertices every
    // frame, most of all for the many small fills of a culled run. By
    // default the C library hands the freed top of the heap back to the
    // system and the next frame takes it again, page by page. Keeping up to
    // 256 MB of freed heap saves those faults; the peak is the same, only
    // what is freed after it stays in the process.
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
}

bool CulledDrawing::isSoftwareRenderer(const std::string& renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "swrast"})
        if (renderer.find(name) != std::string::npos)
            return true;
    return false;
}

CulledDrawing::Choice CulledDrawing::choose(const std::string& renderer, const char* plainSwitch,
                                            const char* culledSwitch, bool capable) {
    const std::string named = "\"" + renderer + "\"";
    if (switchedOn(plainSwitch))
        return {false, "Drawing on the plain path: LUMENFALL_PLAIN_DRAWING asks for it."};
    if (!capable)
        return {false, "Drawing on the plain path: the driver lacks frame buffers or a second texture unit."};
    if (switchedOn(culledSwitch))
        return {true, "Drawing on the culled path: LUMENFALL_CULLED_DRAWING asks for it."};
    if (isSoftwareRenderer(renderer))
        return {true, "Drawing on the culled path: " + named + " rasterises in software."};
    return {false, "Drawing on the plain path: " + named + " is not a software rasteriser."};
}

void CulledDrawing::measure(unsigned int handle, const unsigned char* pixels, unsigned int width,
                            unsigned int height, bool interpolate) {
    forget(handle);
    Measured& m = pictures[handle];
    // Nearest filtering samples one texel where the ranges assume two: still within them.
    m.ranges = CoverageCuller::measure(pixels, width, height);
    bool alphaIsRed = true;
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count && alphaIsRed; ++i)
        alphaIsRed = pixels[i * 4 + 2] == pixels[i * 4 + 3];
    if (alphaIsRed)
        m.alphaTexture = makeAlphaTexture(pixels, width, height, interpolate);
}

void CulledDrawing::forget(unsigned int handle) {
    invalidate(); // the handle may come back for other pixels
    auto it = pictures.find(handle);
    if (it == pictures.end())
        return;
    if (it->second.alphaTexture)
        glDeleteTextures(1, &*it->second.alphaTexture);
    pictures.erase(it);
}

void CulledDrawing::readPromises(unsigned int program, const std::string& fragmentSource) {
    invalidate(); // the program may be new under an old name
    promises.erase(program);
    if (program == 0 || fragmentSource.find(maskedMark) == std::string::npos)
        return;
    promises[program] =
        Promise{fragmentSource.find(colourMark) != std::string::npos, glGetUniformLocation(program, "base"),
                glGetUniformLocation(program, "second"), glGetUniformLocation(program, "shaderParam")};
}

const CulledDrawing::Measured* CulledDrawing::measured(unsigned int handle) const {
    auto it = pictures.find(handle);
    return it == pictures.end() ? nullptr : &it->second;
}

CulledDrawing::Answer CulledDrawing::take(const Draw& draw) {
    const bool masked = draw.program != 0 && promises.count(draw.program);
    // Fixed-function texturing and masked programs multiply the colour's
    // alpha in; with alpha 0 both blend modes keep the target as it was.
    if (draw.quad.a <= 0.0f && draw.mode != Drawer::Subtractive && (draw.program == 0 || masked)) {
        return Answer::Dropped;
    }
    if (!draw.intoFrameBuffer || draw.mode == Drawer::Subtractive)
        return Answer::DrawNow;
    const bool taken = draw.program == 0 ? holdPlain(draw) : masked && holdMasked(draw);
    if (!taken)
        return Answer::DrawNow;
    return Answer::Held;
}

bool CulledDrawing::holdPlain(const Draw& draw) {
    if (draw.second)
        return false;
    const Quad& q = draw.quad;
    const float x = q.x + draw.offsetX, y = q.y + draw.offsetY;
    const Measured* base = measured(draw.picture.handle);
    // Fixed-function texturing multiplies alpha as a masked program does,
    // with a mask of 1 everywhere.
    const bool known = base && q.w > 0.0f && q.h > 0.0f;
    const CoverageCuller::Kind kind = known ? CoverageCuller::Kind::Picture : CoverageCuller::Kind::Tiles;
    hold(Held{Texturing::Plain, draw.picture.texture, 0, 0, draw.mode, q},
         CoverageCuller::Quad{kind, base ? &base->ranges : nullptr, nullptr, x, y, x + q.w, y + q.h, q.uLeft,
                              q.vTop, q.uRight, q.vBottom, q.a == 1.0f && draw.mode == Drawer::Normal});
    return true;
}

bool CulledDrawing::holdMasked(const Draw& draw) {
    if (draw.mode != Drawer::Normal || draw.param != 0.0f || !draw.second)
        return false;
    const Measured* base = measured(draw.picture.handle);
    const Measured* mask = measured(draw.second->handle);
    if (!base || !mask)
        return false;
    const bool fixed = promises.at(draw.program).colour && mask->alphaTexture;
    const Quad& q = draw.quad;
    const float x = q.x + draw.offsetX, y = q.y + draw.offsetY;
    hold(Held{fixed ? Texturing::MaskedFixedFunction : Texturing::Program, draw.picture.texture,
              fixed ? *mask->alphaTexture : draw.second->texture, draw.program, Drawer::Normal, q},
         CoverageCuller::Quad{CoverageCuller::Kind::MaskedPicture, &base->ranges, &mask->ranges, x, y,
                              x + q.w, y + q.h, q.uLeft, q.vTop, q.uRight, q.vBottom, q.a == 1.0f});
    drawCounts.maskedInFixedFunction += fixed;
    return true;
}

void CulledDrawing::hold(const Held& h, const CoverageCuller::Quad& shape) {
    held.push_back(h);
    shapes.push_back(shape);
}

struct CulledDrawing::Run {
    bool started;
    Drawer::BlendMode mode;
    Texturing texturing;
    unsigned int program;
    unsigned int texture;
    unsigned int secondTexture;
    bool open; // between glBegin and glEnd
    CoverageCuller::Rect scissor;

    void close() {
        if (open)
            glEnd();
        open = false;
    }
};

void CulledDrawing::bindTextures(const Held& h) {
    glActiveTextureARB(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, h.texture);
    glActiveTextureARB(GL_TEXTURE1);
    if (h.texturing == Texturing::Plain) {
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
    } else {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, h.secondTexture);
    }
    glActiveTextureARB(GL_TEXTURE0);
}

void CulledDrawing::prepare(const Held& h, Run& run) {
    if (!run.started || h.mode != run.mode) {
        run.close();
        applyBlend(h.mode);
        run.mode = h.mode;
    }
    const unsigned int program = h.texturing == Texturing::Program ? h.program : 0;
    if (!run.started || program != run.program) {
        run.close();
        glUseProgram(program);
        if (program) {
            const Promise& promise = promises.at(program);
            glUniform1i(promise.baseLocation, 0);
            glUniform1i(promise.secondLocation, 1);
            glUniform1f(promise.paramLocation, 0.0f);
        }
        run.program = program;
    }
    if (!run.started || h.texturing != run.texturing || h.texture != run.texture ||
        h.secondTexture != run.secondTexture) {
        run.close();
        bindTextures(h);
        run.texturing = h.texturing;
        run.texture = h.texture;
        run.secondTexture = h.secondTexture;
    }
    run.started = true;
}

bool CulledDrawing::sameAsKept(size_t i) const {
    const Held& a = held[i];
    const Held& b = kept.held[i];
    // The rest of a shape follows from the draw and the measurements, which
    // drop the kept run when they change; the translation does not.
    return a.texturing == b.texturing && a.texture == b.texture && a.secondTexture == b.secondTexture &&
           a.program == b.program && a.mode == b.mode && std::memcmp(&a.quad, &b.quad, sizeof(Quad)) == 0 &&
           shapes[i].x0 == kept.shapes[i].x0 && shapes[i].y0 == kept.shapes[i].y0;
}

bool CulledDrawing::findChanges(int width, int height) {
    // Where nothing changed, the frame buffer holds the kept run's picture;
    // drawing the same quads over it again would leave it so only where
    // opaque pixels cover it.
    if (!kept.valid || kept.width != width || kept.height != height || kept.held.size() != held.size() ||
        !culler.coversCanvas())
        return false;
    changed.reset(width, height);
    for (size_t i = 0; i < held.size(); ++i) {
        if (sameAsKept(i))
            continue;
        changed.add(kept.fills[i], kept.rects, kept.shapes[i]);
        changed.add(fills[i], rects, shapes[i]);
    }
    // Beyond half the canvas, the pieces would cost more draws than they save.
    return changed.finish() * 2 <= static_cast<long>(width) * height;
}

void CulledDrawing::fillPieces(const Held& h, Run& run, int height) {
    const bool twoUnits = h.texturing != Texturing::Plain;
    const Quad& q = h.quad;
    for (const CoverageCuller::Rect& rect : pieces) {
        if (rect.x != run.scissor.x || rect.y != run.scissor.y || rect.width != run.scissor.width ||
            rect.height != run.scissor.height) {
            run.close();
            // Scissor rows count from the bottom.
            glScissor(rect.x, height - rect.y - rect.height, rect.width, rect.height);
            run.scissor = rect;
        }
        if (!run.open)
            glBegin(GL_QUADS);
        run.open = true;
        glColor4f(q.r, q.g, q.b, q.a);
        corner(q.uLeft, q.vTop, q.x, q.y, twoUnits);
        corner(q.uRight, q.vTop, q.x + q.w, q.y, twoUnits);
        corner(q.uRight, q.vBottom, q.x + q.w, q.y + q.h, twoUnits);
        corner(q.uLeft, q.vBottom, q.x, q.y + q.h, twoUnits);
    }
}

void CulledDrawing::keep(int width, int height) {
    kept.valid = true;
    kept.width = width;
    kept.height = height;
    kept.held.swap(held);
    kept.shapes.swap(shapes);
    kept.fills.swap(fills);
    kept.rects.swap(rects);
    held.clear();
    shapes.clear();
}

void CulledDrawing::drawHeld(int width, int height) {
    if (held.empty())
        return;
    culler.cull(shapes, width, height, fills, rects);
    const bool inPart = findChanges(width, height);
    drawCounts.runsRedrawnInPart += inPart;
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, width, height);
    const CoverageCuller::Rect wholeCanvas{0, 0, width, height};
    Run run{false, Drawer::Normal, Texturing::Plain, 0, 0, 0, false, wholeCanvas};
    for (size_t i = 0; i < held.size(); ++i) {
        const CoverageCuller::Fill& fill = fills[i];
        pieces.clear();
        for (int k = 0; k < (fill.whole ? 1 : fill.count); ++k) {
            const CoverageCuller::Rect& rect =
                fill.whole ? wholeCanvas : rects[static_cast<size_t>(fill.first + k)];
            if (inPart)
                changed.clip(rect, pieces);
            else
                pieces.push_back(rect);
        }
        if (pieces.empty())
            continue;
        prepare(held[i], run);
        fillPieces(held[i], run, height);
    }
    run.close();
    glDisable(GL_SCISSOR_TEST);
    glActiveTextureARB(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    keep(width, height);
}

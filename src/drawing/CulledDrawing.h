#pragma once

#include "ChangedArea.h"
#include "CoverageCuller.h"
#include "Drawer.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The drawing path for software rasterisers, where every filled pixel costs
// processor time: textured draws into the frame buffer are held back and,
// when the run of them ends, filled only where they can change the picture
// (CoverageCuller says which whole pixels; scissor rectangles keep texture
// coordinates, and so the picture, those of a plain draw). It keeps what
// that needs: each picture's measurements, taken as it is loaded, and the
// promises the fragment programs make in their source. A masked draw whose
// program also promises its colour, and whose mask's alpha is its red, is
// filled by fixed-function texturing on two units, without the program: the
// picture times the colour, its alpha times a one-byte texture of the mask's
// alpha (made as the mask is loaded, a quarter of its size).
// A run whose opaque pixels cover the canvas, drawn over the picture of the
// run before it and nothing else, is redrawn only where its quads differ
// from that run's: elsewhere the frame buffer already holds what it would
// draw (the grid stands still between its changes).
// Uses the current OpenGL context, which must have two texture units.
class CulledDrawing {
public:
    // The drawer's choice of path for a renderer, made once.
    struct Choice {
        bool culled;
        std::string reason; // the log line
    };
    // plainSwitch and culledSwitch are the values of LUMENFALL_PLAIN_DRAWING
    // and LUMENFALL_CULLED_DRAWING (null when unset); "0" or empty leaves
    // the choice to the renderer, anything else forces that path (plain wins
    // if both do). capable: the driver has frame buffers and two units.
    static Choice choose(const std::string& renderer, const char* plainSwitch, const char* culledSwitch,
                         bool capable);
    // Whether a GL_RENDERER text names one of Mesa's software rasterisers.
    static bool isSoftwareRenderer(const std::string& renderer);

    // A fragment program whose source holds maskedMark promises that, with
    // shaderParam 0, each fragment's alpha is the base image's alpha times
    // the colour's alpha times the second image's red (both images at the
    // same texture coordinates); with colourMark too, that its colour is
    // the base image's colour times the draw colour.
    static const char* const maskedMark;
    static const char* const colourMark;

    struct Picture {
        unsigned int handle;
        unsigned int texture;
    };
    // A textured quad in canvas pixels (y down) with its texture coordinates.
    struct Quad {
        float x, y, w, h;
        float uLeft, vTop, uRight, vBottom;
        float r, g, b, a;
    };
    // One drawImage or drawSubImage call with the drawer's state around it.
    struct Draw {
        Picture picture;
        std::optional<Picture> second;
        unsigned int program; // 0 is fixed-function texturing, as in OpenGL
        float param;
        Drawer::BlendMode mode;
        bool intoFrameBuffer;
        float offsetX, offsetY; // the translation in force, in canvas pixels
        Quad quad;
    };
    enum class Answer { Held, Dropped, DrawNow };
    // How many masked draws were filled in fixed function since the path was made.
    struct Counts {
        unsigned long maskedInFixedFunction = 0;
        unsigned long runsRedrawnInPart = 0;
    };

    // Keeps freed heap memory in the process (see the definition).
    CulledDrawing();
    CulledDrawing(const CulledDrawing&) = delete;
    CulledDrawing& operator=(const CulledDrawing&) = delete;

    // A picture's B, G, R, A pixels as uploaded (padded size), under its
    // handle; a picture whose alpha is its red everywhere (a mask) also gets
    // a texture of its alpha alone, filtered as interpolate says.
    void measure(unsigned int handle, const unsigned char* pixels, unsigned int width, unsigned int height,
                 bool interpolate);
    void forget(unsigned int handle);
    void readPromises(unsigned int program, const std::string& fragmentSource);

    // The rule: a draw that changes nothing (colour alpha 0, normal or
    // additive blending, fixed-function texturing or a masked program) is
    // dropped. A draw into the frame buffer with normal or additive
    // blending is held when it has fixed-function texturing and no second
    // image, or, with normal blending only, a masked program at parameter 0
    // and a measured picture and mask. Anything else is drawn now, after
    // the held run.
    Answer take(const Draw& draw);
    bool holdsAny() const { return !held.empty(); }
    // Something other than a held run drew into the frame buffer, or a
    // picture, program or the frame buffer itself changed: the next run is
    // drawn whole.
    void invalidate() { kept.valid = false; }
    // Fills the held run, culled, on a canvas of width x height pixels (the
    // frame buffer's), and empties it. Leaves the scissor test off, no
    // texture bound and unit 1 disabled; blending, the program and the
    // active unit as it found them only where the run used none of its own:
    // the caller sets its own again.
    void drawHeld(int width, int height);
    const Counts& counts() const { return drawCounts; }

private:
    enum class Texturing { Plain, MaskedFixedFunction, Program };
    struct Held {
        Texturing texturing;
        unsigned int texture;
        unsigned int secondTexture; // read unless Plain
        unsigned int program;       // read for Program
        Drawer::BlendMode mode;
        Quad quad;
    };
    struct Promise {
        bool colour;
        int baseLocation, secondLocation, paramLocation;
    };
    struct Measured {
        CoverageCuller::ImageRanges ranges;
        std::optional<unsigned int> alphaTexture; // when every texel's alpha equals its red
    };
    // What the run has set up so far.
    struct Run;
    // The last run drawn, as the frame buffer holds it while valid.
    struct Kept {
        bool valid = false;
        int width = 0, height = 0;
        std::vector<Held> held;
        std::vector<CoverageCuller::Quad> shapes;
        std::vector<CoverageCuller::Fill> fills;
        std::vector<CoverageCuller::Rect> rects;
    };

    const Measured* measured(unsigned int handle) const;
    bool holdPlain(const Draw& draw);
    bool holdMasked(const Draw& draw);
    void hold(const Held& h, const CoverageCuller::Quad& shape);
    void prepare(const Held& h, Run& run);
    void bindTextures(const Held& h);
    bool sameAsKept(size_t i) const;
    // Whether the run may be drawn only where it changed (in changed).
    bool findChanges(int width, int height);
    void fillPieces(const Held& h, Run& run, int height);
    void keep(int width, int height);

    std::map<unsigned int, Measured> pictures;
    std::map<unsigned int, Promise> promises;
    std::vector<Held> held;
    std::vector<CoverageCuller::Quad> shapes; // held[i]'s
    std::vector<CoverageCuller::Fill> fills;
    std::vector<CoverageCuller::Rect> rects;
    std::vector<CoverageCuller::Rect> pieces; // of the quad in hand
    CoverageCuller culler;
    Kept kept;
    ChangedArea changed;
    Counts drawCounts;
};

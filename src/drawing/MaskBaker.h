#pragma once

#include <cstddef>
#include <map>
#include <utility>
#include <vector>

// Copies of pictures with a mask multiplied into their alpha, so that a draw
// of "picture times colour, alpha times the mask's red" can be made from one
// texture by fixed-function texturing instead of a two-texture program.
// A copy is made the first time a picture is drawn with a mask and kept
// while the pair is drawn; one left undrawn for a whole frame gives its
// texture back for the next copy. Both images must have the same texture
// size. Uses the current OpenGL context and leaves the active unit's
// binding at 0; the textures go with the context, as the drawer's own do.
class MaskBaker {
public:
    MaskBaker() = default;
    MaskBaker(const MaskBaker&) = delete;
    MaskBaker& operator=(const MaskBaker&) = delete;

    // The texture of the copy for image (texture imageTexture) masked by
    // mask (texture maskTexture), both width x height texels.
    unsigned int texture(unsigned int image, unsigned int imageTexture, unsigned int mask,
                         unsigned int maskTexture, unsigned int width, unsigned int height);
    // The image handle no longer names this picture: copies made from it go.
    void forget(unsigned int image);
    // Called once a frame, before drawing: copies not drawn since the
    // previous call are given up.
    void nextFrame();
    size_t copies() const { return baked.size(); }

    // B, G, R, A pixels with each alpha multiplied by the red of the mask's
    // pixel at the same place (both B, G, R, A), rounded to nearest.
    static void multiplyAlpha(unsigned char* pixels, const unsigned char* mask, size_t count);

private:
    struct Copy {
        unsigned int texture;
        unsigned int width, height;
        unsigned long lastFrame;
    };
    struct Spare {
        unsigned int texture;
        unsigned int width, height;
    };
    // A texture of the size for a new copy: a spare one, else a new one.
    unsigned int takeTexture(unsigned int width, unsigned int height, unsigned int like);

    std::map<std::pair<unsigned int, unsigned int>, Copy> baked; // by (image, mask)
    std::vector<Spare> spares;
    std::vector<unsigned char> pixels;
    std::vector<unsigned char> maskPixels;
    unsigned long frame = 0;
};

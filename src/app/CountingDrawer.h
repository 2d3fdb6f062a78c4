#pragma once

#include "OpenGLDrawer.h"

#include <cstddef>

// The OpenGL drawer, counting the images it holds under handles: loaded and
// not yet released. With the masked copies the drawer reports itself, this is
// what an exhibition's log shows of the textures after each cycle, so that a
// cycle that loads pictures again, or keeps what it should give back, shows.
// (The frame buffer's picture and the glyphs are made once and not counted.)
class CountingDrawer : public OpenGLDrawer {
public:
    using OpenGLDrawer::OpenGLDrawer;

    unsigned int loadImage(unsigned char* pixels, unsigned int width, unsigned int height) override;
    void releaseImage(unsigned int image) override;

    size_t getLiveImages() const { return liveImages; }

private:
    size_t liveImages = 0;
};

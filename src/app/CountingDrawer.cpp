#include "CountingDrawer.h"

unsigned int CountingDrawer::loadImage(unsigned char* pixels, unsigned int width, unsigned int height) {
    unsigned int handle = OpenGLDrawer::loadImage(pixels, width, height);
    if (handle != 0)
        ++liveImages;
    return handle;
}

void CountingDrawer::releaseImage(unsigned int image) {
    // A handle the drawer does not hold releases nothing.
    if (getImage(image))
        --liveImages;
    OpenGLDrawer::releaseImage(image);
}

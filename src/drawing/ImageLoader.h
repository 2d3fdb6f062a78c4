#pragma once

#include <string>

struct SDL_RWops;

// Decodes PNG and JPEG pictures, from memory or from a file, into a plain
// buffer of 4 bytes per pixel in the order the drawer's loadImage reads them:
// blue, green, red, alpha; rows top to bottom with no gap between rows. Any
// other content is refused before a decoder sees it. One loader may decode any
// number of pictures; the size of the last one is kept for the getters.
class ImageLoader {
public:
    // Returns a buffer made with new[] that the caller owns (or hands to the
    // drawer), or null when the bytes are not a PNG or JPEG that decodes.
    unsigned char* loadImage(const char* data, unsigned int size);
    unsigned char* loadImage(const std::string& path);

    // Size in pixels of the picture last loaded; 0 when that load failed.
    unsigned int getWidth() const { return width; }
    unsigned int getHeight() const { return height; }

private:
    // Decodes from the stream, which the caller closes.
    unsigned char* decode(SDL_RWops* stream);

    unsigned int width = 0;
    unsigned int height = 0;
};

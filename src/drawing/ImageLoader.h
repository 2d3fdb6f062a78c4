#pragma once

#include <cstddef>
#include <string>

class Drawer;
struct SDL_RWops;

// A decoded picture: pixels made with new[] (width * height * 4 bytes) that
// belong to whoever receives them; null, 0, 0 when nothing was decoded.
struct ImageData {
    unsigned char* pixels;
    unsigned int width;
    unsigned int height;
};

// Decodes PNG and JPEG pictures, from memory or from a file, into a plain
// buffer of 4 bytes per pixel in the order the drawer's loadImage reads them:
// blue, green, red, alpha; rows top to bottom with no gap between rows. Any
// other content is refused before a decoder sees it. One loader may decode any
// number of pictures; the size of the last one is kept for the getters.
class ImageLoader {
public:
    // The decoded picture, whose buffer the caller owns (or hands to the
    // drawer); empty when the bytes are not a PNG or JPEG that decodes.
    ImageData loadImage(const char* data, unsigned int size);
    ImageData loadImage(const std::string& path);

    // Decodes a picture compiled into the program and hands it to the
    // drawer; the drawer's image handle, 0 when it did not decode.
    static unsigned int loadCompiledImage(Drawer* drawer, const unsigned char* data, unsigned int size);
    // The same for a picture file.
    static unsigned int loadFileImage(Drawer* drawer, const std::string& path);

    // Size in pixels of the picture last loaded; 0 when that load failed.
    unsigned int getWidth() const { return width; }
    unsigned int getHeight() const { return height; }

private:
    // Decodes the bytes through a stream that reads them.
    unsigned char* decode(const char* data, size_t size);
    // Decodes from the stream, which the caller closes.
    unsigned char* decode(SDL_RWops* stream);

    unsigned int width = 0;
    unsigned int height = 0;
};

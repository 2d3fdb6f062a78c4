#pragma once

#include <string>

// A decoded picture: new[]'d B, G, R, A bytes, rows top to bottom; null, 0, 0
// when nothing could be decoded. The buffer belongs to the receiver (handing
// it to Drawer::loadImage passes it on).
struct ImageData {
    unsigned char* pixels;
    unsigned int width;
    unsigned int height;
};

// Decodes pictures with SDL_image into buffers the drawer's loadImage takes.
class ImageLoader {
public:
    // size bytes of a picture file held in memory.
    ImageData loadImage(const char* data, unsigned int size);
    // The picture file at path.
    ImageData loadImage(const std::string& path);
};

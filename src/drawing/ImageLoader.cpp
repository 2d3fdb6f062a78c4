#include "ImageLoader.h"

#include <SDL_image.h>

namespace {

// Copies any surface into B, G, R, A bytes, row by row using the pitch, so
// that the result does not depend on the format SDL_image chose.
ImageData fromSurface(SDL_Surface* surface) {
    ImageData result = {nullptr, 0, 0};
    if (!surface)
        return result;
    unsigned int width = static_cast<unsigned int>(surface->w);
    unsigned int height = static_cast<unsigned int>(surface->h);
    unsigned char* pixels = new unsigned char[width * height * 4];
    SDL_LockSurface(surface);
    int bytesPerPixel = surface->format->BytesPerPixel;
    for (unsigned int y = 0; y < height; ++y) {
        const Uint8* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
        for (unsigned int x = 0; x < width; ++x) {
            const Uint8* source = row + x * bytesPerPixel;
            Uint32 value = 0;
            switch (bytesPerPixel) {
            case 1:
                value = *source;
                break;
            case 2:
                value = *reinterpret_cast<const Uint16*>(source);
                break;
            case 3:
                if (SDL_BYTEORDER == SDL_LIL_ENDIAN)
                    value = source[0] | (source[1] << 8) | (source[2] << 16);
                else
                    value = (source[0] << 16) | (source[1] << 8) | source[2];
                break;
            default:
                value = *reinterpret_cast<const Uint32*>(source);
                break;
            }
            Uint8 r, g, b, a;
            SDL_GetRGBA(value, surface->format, &r, &g, &b, &a);
            unsigned char* target = pixels + (y * width + x) * 4;
            target[0] = b;
            target[1] = g;
            target[2] = r;
            target[3] = a;
        }
    }
    SDL_UnlockSurface(surface);
    SDL_FreeSurface(surface);
    result.pixels = pixels;
    result.width = width;
    result.height = height;
    return result;
}

} // namespace

ImageData ImageLoader::loadImage(const char* data, unsigned int size) {
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (!stream)
        return ImageData{nullptr, 0, 0};
    // IMG_Load_RW closes the stream itself when told to (second argument 1).
    return fromSurface(IMG_Load_RW(stream, 1));
}

ImageData ImageLoader::loadImage(const std::string& path) {
    return fromSurface(IMG_Load(path.c_str()));
}

#include "ImageLoader.h"

#include "Drawer.h"
#include "FilePath.h"
#include "Log.h"

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A read-only stream over bytes in memory that delivers 0xFF bytes past
// their end (while reporting only the bytes really read). SDL_image's PNG
// reader ignores short reads, so on a cut file libpng would go on parsing
// whatever its buffers held before, and can loop for ever; 0xFF bytes stop
// it with an error at the next chunk header (a length out of range), check
// sum or compressed block. The JPEG reader looks at the count and ends the
// picture itself.
struct MemorySource {
    const Uint8* data;
    size_t size;
    size_t position;
};

int SDLCALL seekMemory(SDL_RWops* stream, int offset, int whence) {
    MemorySource* source = static_cast<MemorySource*>(stream->hidden.unknown.data1);
    long base = whence == RW_SEEK_SET   ? 0
                : whence == RW_SEEK_CUR ? static_cast<long>(source->position)
                                        : static_cast<long>(source->size);
    long target = std::clamp(base + offset, 0L, static_cast<long>(source->size));
    source->position = static_cast<size_t>(target);
    return static_cast<int>(target);
}

int SDLCALL readMemory(SDL_RWops* stream, void* out, int size, int count) {
    MemorySource* source = static_cast<MemorySource*>(stream->hidden.unknown.data1);
    if (size <= 0 || count <= 0)
        return 0;
    const size_t wanted = static_cast<size_t>(size) * static_cast<size_t>(count);
    const size_t available = std::min(wanted, source->size - source->position);
    std::memcpy(out, source->data + source->position, available);
    std::memset(static_cast<Uint8*>(out) + available, 0xFF, wanted - available);
    source->position += available;
    return static_cast<int>(available / static_cast<size_t>(size));
}

int SDLCALL writeNothing(SDL_RWops*, const void*, int, int) {
    return -1;
}

int SDLCALL closeNothing(SDL_RWops*) {
    return 0;
}

// Reads one pixel value of the surface's own size; SDL keeps pixels in the
// machine's byte order, including the 3-byte ones.
Uint32 readPixel(const Uint8* p, int bytesPerPixel) {
    switch (bytesPerPixel) {
    case 1:
        return *p;
    case 2:
        return *reinterpret_cast<const Uint16*>(p);
    case 3:
        if (SDL_BYTEORDER == SDL_LIL_ENDIAN)
            return p[0] | (p[1] << 8) | (p[2] << 16);
        return (p[0] << 16) | (p[1] << 8) | p[2];
    default:
        return *reinterpret_cast<const Uint32*>(p);
    }
}

} // namespace

ImageData ImageLoader::loadImage(const char* data, unsigned int size) {
    width = 0;
    height = 0;
    if (!data || size == 0)
        return ImageData{nullptr, 0, 0};
    unsigned char* pixels = decode(data, size);
    if (width > 1024 || height > 1024)
        LOG_DEBUG("ImageLoader: Warning: image dimensions greater than 1024 (" + std::to_string(width) + "x" +
                  std::to_string(height) + ")");
    return ImageData{pixels, width, height};
}

ImageData ImageLoader::loadImage(const std::string& path) {
    width = 0;
    height = 0;
    // The whole file is read first, so that the decoders see the same
    // stream as for pictures in memory.
    std::vector<char> bytes;
    if (std::FILE* file = FilePath::openForReading(path)) {
        char block[65536];
        size_t n;
        while ((n = std::fread(block, 1, sizeof(block), file)) > 0)
            bytes.insert(bytes.end(), block, block + n);
        std::fclose(file);
    }
    if (bytes.empty())
        return ImageData{nullptr, 0, 0};
    unsigned char* pixels = decode(bytes.data(), bytes.size());
    if (width > 1024 || height > 1024)
        LOG_DEBUG("ImageLoader: Warning: image (" + path + ") dimensions greater than 1024 (" +
                  std::to_string(width) + "x" + std::to_string(height) + ")");
    return ImageData{pixels, width, height};
}

unsigned char* ImageLoader::decode(const char* data, size_t size) {
    MemorySource source{reinterpret_cast<const Uint8*>(data), size, 0};
    SDL_RWops stream = SDL_RWops();
    stream.seek = seekMemory;
    stream.read = readMemory;
    stream.write = writeNothing;
    stream.close = closeNothing;
    stream.hidden.unknown.data1 = &source;
    return decode(&stream);
}

unsigned char* ImageLoader::decode(SDL_RWops* stream) {
    // Only the two formats the game ships reach a decoder: pictures in the
    // data folders are read as they come, and the other decoders of the
    // library are more code exposed to whatever a file holds.
    SDL_Surface* surface = nullptr;
    if (IMG_isPNG(stream))
        surface = IMG_LoadPNG_RW(stream);
    else if (IMG_isJPG(stream))
        surface = IMG_LoadJPG_RW(stream);
    if (!surface)
        return nullptr;
    if (surface->w <= 0 || surface->h <= 0) {
        SDL_FreeSurface(surface);
        return nullptr;
    }

    const SDL_PixelFormat* format = surface->format;
    const int bytesPerPixel = format->BytesPerPixel;
    if (bytesPerPixel == 3)
        LOG_DEBUG("ImageLoader: Image 24bit.  Assuming 24bit RGB format.");
    const bool keyed = (surface->flags & SDL_SRCCOLORKEY) != 0;
    const unsigned int w = static_cast<unsigned int>(surface->w);
    const unsigned int h = static_cast<unsigned int>(surface->h);
    unsigned char* pixels = new unsigned char[static_cast<size_t>(w) * h * 4];

    // Whatever layout the decoder chose (palette, 16, 24 or 32 bits, any
    // channel order, rows padded to the pitch), each pixel is taken apart
    // through the surface's format so the drawer always gets B, G, R, A.
    // A palette picture with one transparent entry arrives as a colour key.
    SDL_LockSurface(surface);
    const Uint8* rows = static_cast<const Uint8*>(surface->pixels);
    unsigned char* out = pixels;
    for (unsigned int y = 0; y < h; ++y) {
        const Uint8* source = rows + static_cast<size_t>(y) * surface->pitch;
        for (unsigned int x = 0; x < w; ++x, source += bytesPerPixel, out += 4) {
            Uint32 value = readPixel(source, bytesPerPixel);
            Uint8 r, g, b, a;
            SDL_GetRGBA(value, surface->format, &r, &g, &b, &a);
            if (keyed && value == format->colorkey)
                a = 0;
            out[0] = b;
            out[1] = g;
            out[2] = r;
            out[3] = a;
        }
    }
    SDL_UnlockSurface(surface);
    width = w;
    height = h;
    SDL_FreeSurface(surface);
    return pixels;
}

unsigned int ImageLoader::loadCompiledImage(Drawer* drawer, const unsigned char* data, unsigned int size) {
    ImageLoader loader;
    ImageData image = loader.loadImage(reinterpret_cast<const char*>(data), size);
    return drawer->loadImage(image.pixels, image.width, image.height);
}

unsigned int ImageLoader::loadFileImage(Drawer* drawer, const std::string& path) {
    ImageData image = ImageLoader().loadImage(path);
    return drawer->loadImage(image.pixels, image.width, image.height);
}

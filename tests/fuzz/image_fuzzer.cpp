// The picture loader on arbitrary bytes from memory: it must never read or
// write out of bounds, and a picture it returns has the size it reports.
#include "ImageLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImageLoader loader;
    ImageData image = loader.loadImage(reinterpret_cast<const char*>(data), static_cast<unsigned int>(size));
    if (!image.pixels) {
        if (image.width != 0 || image.height != 0 || loader.getWidth() != 0 || loader.getHeight() != 0)
            std::abort();
        return 0;
    }
    if (image.width == 0 || image.height == 0 || image.width != loader.getWidth() ||
        image.height != loader.getHeight())
        std::abort();
    // Reading every byte the size promises lets AddressSanitizer catch a
    // buffer smaller than width * height * 4.
    const size_t bytes = static_cast<size_t>(image.width) * image.height * 4;
    volatile unsigned int sum = 0;
    for (size_t i = 0; i < bytes; ++i)
        sum = sum + image.pixels[i];
    delete[] image.pixels;
    return 0;
}

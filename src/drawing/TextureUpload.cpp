#include "TextureUpload.h"

#include <GL/glew.h>

#include <cstddef>
#include <cstring>

unsigned int TextureUpload::powerOfTwo(unsigned int n) {
    unsigned int p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

void TextureUpload::copyPaddedRows(unsigned char* target, const unsigned char* source, unsigned int width,
                                   unsigned int height, unsigned int paddedWidth) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    const size_t paddedRowBytes = static_cast<size_t>(paddedWidth) * 4;
    for (size_t y = 0; y < height; ++y) {
        unsigned char* row = target + y * paddedRowBytes;
        const unsigned char* from = source + y * rowBytes;
        std::memcpy(row, from, rowBytes);
        std::memset(row + rowBytes, from[rowBytes - 1], paddedRowBytes - rowBytes);
    }
}

unsigned int TextureUpload::make(const unsigned char* pixels, unsigned int width, unsigned int height,
                                 bool interpolate, bool clampToEdges) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    const GLint filter = interpolate ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (clampToEdges) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

#include "MaskBaker.h"

#include <GL/glew.h>

namespace {

// Spare textures kept beyond those of the copies in use.
const size_t maxSpares = 8;

void readTexture(unsigned int texture, std::vector<unsigned char>& into, size_t bytes) {
    into.resize(bytes);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, into.data());
}

} // namespace

void MaskBaker::multiplyAlpha(unsigned char* pixels, const unsigned char* mask, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned int product = pixels[i * 4 + 3] * mask[i * 4 + 2];
        // Exact rounding of product / 255 for products up to 255 * 255.
        const unsigned int rounded = product + 128;
        pixels[i * 4 + 3] = static_cast<unsigned char>((rounded + (rounded >> 8)) >> 8);
    }
}

unsigned int MaskBaker::takeTexture(unsigned int width, unsigned int height, unsigned int like) {
    for (size_t i = 0; i < spares.size(); ++i) {
        if (spares[i].width == width && spares[i].height == height) {
            const unsigned int texture = spares[i].texture;
            spares[i] = spares.back();
            spares.pop_back();
            glBindTexture(GL_TEXTURE_2D, texture);
            return texture;
        }
    }
    // Filtered and wrapped as the picture is.
    GLint minFilter = GL_LINEAR, magFilter = GL_LINEAR, wrapS = GL_CLAMP_TO_EDGE, wrapT = GL_CLAMP_TO_EDGE;
    glBindTexture(GL_TEXTURE_2D, like);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapS);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapT);
    return texture;
}

unsigned int MaskBaker::texture(unsigned int image, unsigned int imageTexture, unsigned int mask,
                                unsigned int maskTexture, unsigned int width, unsigned int height) {
    const auto key = std::make_pair(image, mask);
    auto found = baked.find(key);
    if (found != baked.end()) {
        found->second.lastFrame = frame;
        return found->second.texture;
    }
    const size_t count = static_cast<size_t>(width) * height;
    readTexture(imageTexture, pixels, count * 4);
    readTexture(maskTexture, maskPixels, count * 4);
    multiplyAlpha(pixels.data(), maskPixels.data(), count);
    const unsigned int texture = takeTexture(width, height, imageTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    baked[key] = Copy{texture, width, height, frame};
    return texture;
}

void MaskBaker::forget(unsigned int image) {
    for (auto it = baked.begin(); it != baked.end();) {
        if (it->first.first == image || it->first.second == image) {
            spares.push_back(Spare{it->second.texture, it->second.width, it->second.height});
            it = baked.erase(it);
        } else {
            ++it;
        }
    }
}

void MaskBaker::nextFrame() {
    for (auto it = baked.begin(); it != baked.end();) {
        if (it->second.lastFrame < frame) {
            spares.push_back(Spare{it->second.texture, it->second.width, it->second.height});
            it = baked.erase(it);
        } else {
            ++it;
        }
    }
    while (spares.size() > maxSpares) {
        GLuint texture = spares.back().texture;
        glDeleteTextures(1, &texture);
        spares.pop_back();
    }
    ++frame;
}

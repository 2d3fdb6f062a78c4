// Preloaded into the game by tools/bench-frames: counts the calls that read
// textures or pixels back from OpenGL, and keeps the running count, as
// decimal text, in the file that LUMENFALL_READBACK_COUNT names.

#include <GL/gl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<unsigned long> count{0};

void counted() {
    const unsigned long now = ++count;
    const char* path = std::getenv("LUMENFALL_READBACK_COUNT");
    if (!path)
        return;
    const int file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0)
        return;
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%lu\n", now);
    if (write(file, text, static_cast<size_t>(length)) < 0)
        std::perror("readback counter");
    close(file);
}

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

void glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels) {
    counted();
    static auto real = next<void (*)(GLenum, GLint, GLenum, GLenum, void*)>("glGetTexImage");
    real(target, level, format, type, pixels);
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels) {
    counted();
    static auto real = next<void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*)>("glReadPixels");
    real(x, y, width, height, format, type, pixels);
}

} // extern "C"

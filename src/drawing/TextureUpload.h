#pragma once

// Uploads of B, G, R, A pictures into OpenGL textures, shared by the drawer's
// pictures and its glyphs. No OpenGL types appear here.
class TextureUpload {
public:
    // Smallest power of two not below n (1 for 0 and 1).
    static unsigned int powerOfTwo(unsigned int n);
    static bool isPowerOfTwo(unsigned int n) { return powerOfTwo(n) == n; }
    // Copies height rows of width pixels into rows of paddedWidth pixels,
    // each filled out with the value of its last byte (the right edge's
    // alpha). A padded picture may pass 4 GB, so byte counts are size_t.
    static void copyPaddedRows(unsigned char* target, const unsigned char* source, unsigned int width,
                               unsigned int height, unsigned int paddedWidth);
    // A new texture of width x height B, G, R, A pixels, filtered linearly
    // or not, its edges clamped or not; left unbound.
    static unsigned int make(const unsigned char* pixels, unsigned int width, unsigned int height,
                             bool interpolate, bool clampToEdges);
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ogg/ogg.h>

// Ogg pages carry a check sum, so nearly every blind mutation of a recording
// is rejected at the first page and never reaches the decoder. With
// LUMENFALL_FUZZ_OGG_CHECKSUMS=1 in the environment this mutator lets
// libFuzzer mutate as usual, then rewrites the check sum of every whole page
// it finds, so mutated headers and audio packets get decoded. It is off by
// default because it reaches, within seconds, a division by zero inside
// libvorbis 1.3.7 (see tests/fuzz/findings/README.md), which would stop every
// run at once.
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

inline void fixOggChecksums(uint8_t* data, size_t size) {
    size_t at = 0;
    while (at + 27 <= size) {
        if (data[at] != 'O' || data[at + 1] != 'g' || data[at + 2] != 'g' || data[at + 3] != 'S') {
            ++at;
            continue;
        }
        const size_t segments = data[at + 26];
        const size_t headerLength = 27 + segments;
        if (at + headerLength > size)
            return;
        size_t bodyLength = 0;
        for (size_t i = 0; i < segments; ++i)
            bodyLength += data[at + 27 + i];
        if (at + headerLength + bodyLength > size)
            return;
        ogg_page page;
        page.header = data + at;
        page.header_len = static_cast<long>(headerLength);
        page.body = data + at + headerLength;
        page.body_len = static_cast<long>(bodyLength);
        ogg_page_checksum_set(&page);
        at += headerLength + bodyLength;
    }
}

#define LUMENFALL_OGG_MUTATOR                                                                                \
    extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int) {    \
        static const bool fix = std::getenv("LUMENFALL_FUZZ_OGG_CHECKSUMS") != nullptr;                      \
        size = LLVMFuzzerMutate(data, size, maxSize);                                                        \
        if (fix)                                                                                             \
            fixOggChecksums(data, size);                                                                     \
        return size;                                                                                         \
    }

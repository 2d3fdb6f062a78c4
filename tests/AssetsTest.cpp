// Checks the pictures compiled into the program and the files of the data folder:
// formats, pixel sizes and channel layouts, the content each picture must carry
// (white lettering on transparent ground, the line stroke's alpha profile, the scan
// lines' faint alpha), and that every recording decodes at 44100 Hz and is long enough.

#include "Fonts.h"
#include "Images.h"
#include "LineStroke.h"
#include "NoiseImages.h"

#include <SDL.h>
#include <SDL_image.h>
#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

Surface decodeMemory(const unsigned char* data, unsigned int size) {
    SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
    return Surface(rw ? IMG_Load_RW(rw, 1) : nullptr);
}

Surface decodeFile(const fs::path& path) {
    return Surface(IMG_Load(path.string().c_str()));
}

struct Rgba {
    Uint8 r, g, b, a;
};

// One pixel through the surface's own format, whatever byte order SDL_image chose.
Rgba pixelAt(SDL_Surface* s, int x, int y) {
    SDL_LockSurface(s);
    const Uint8* p = static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 value = 0;
    switch (s->format->BytesPerPixel) {
    case 1:
        value = *p;
        break;
    case 2:
        value = *reinterpret_cast<const Uint16*>(p);
        break;
    case 3:
        if (SDL_BYTEORDER == SDL_LIL_ENDIAN)
            value = p[0] | (p[1] << 8) | (p[2] << 16);
        else
            value = (p[0] << 16) | (p[1] << 8) | p[2];
        break;
    default:
        value = *reinterpret_cast<const Uint32*>(p);
        break;
    }
    SDL_UnlockSurface(s);
    Rgba c{};
    SDL_GetRGBA(value, s->format, &c.r, &c.g, &c.b, &c.a);
    return c;
}

enum class Kind { PngRgb, PngRgba, Jpeg };

// The container's own header: PNG signature with bit depth and colour type from IHDR
// (2 = RGB, 6 = RGBA), or the JPEG start-of-image marker.
bool hasHeader(const unsigned char* d, unsigned int size, Kind kind) {
    if (kind == Kind::Jpeg)
        return size > 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF;
    static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 33 || !std::equal(sig, sig + 8, d))
        return false;
    const int bitDepth = d[24];
    const int colourType = d[25];
    return bitDepth == 8 && colourType == (kind == Kind::PngRgba ? 6 : 2);
}

struct Compiled {
    const char* name;
    const unsigned char* data;
    unsigned int size;
    Kind kind;
    int width;
    int height;
};

const Compiled kImages[] = {
    {"noteback_png", Images::noteback_png, Images::noteback_png_size, Kind::PngRgb, 1024, 1024},
    {"note_png", Images::note_png, Images::note_png_size, Kind::PngRgba, 1024, 256},
    {"noise1_jpg", Images::noise1_jpg, Images::noise1_jpg_size, Kind::Jpeg, 512, 512},
    {"noise2_jpg", Images::noise2_jpg, Images::noise2_jpg_size, Kind::Jpeg, 512, 512},
    {"noise3_jpg", Images::noise3_jpg, Images::noise3_jpg_size, Kind::Jpeg, 512, 512},
    {"noise4_jpg", Images::noise4_jpg, Images::noise4_jpg_size, Kind::Jpeg, 512, 512},
    {"title_png", Images::title_png, Images::title_png_size, Kind::PngRgba, 1024, 64},
    {"rituals_png", Images::rituals_png, Images::rituals_png_size, Kind::PngRgba, 1024, 128},
    {"lumenfallback_jpg", Images::lumenfallback_jpg, Images::lumenfallback_jpg_size, Kind::Jpeg, 1024, 1024},
    {"sun_png", Images::sun_png, Images::sun_png_size, Kind::PngRgba, 1024, 1024},
    {"lumenfalllines_png", Images::lumenfalllines_png, Images::lumenfalllines_png_size, Kind::PngRgba, 1,
     1024},
};

#define GLYPH(n)                                                                                             \
    { #n, Fonts::n, Fonts::n##_size, Kind::PngRgba, 64, 64 }
const Compiled kGlyphs[] = {
    GLYPH(fonta_png),       GLYPH(fontb_png),        GLYPH(fontc_png),     GLYPH(fontd_png),
    GLYPH(fonte_png),       GLYPH(fontf_png),        GLYPH(fontg_png),     GLYPH(fonth_png),
    GLYPH(fonti_png),       GLYPH(fontj_png),        GLYPH(fontk_png),     GLYPH(fontl_png),
    GLYPH(fontm_png),       GLYPH(fontn_png),        GLYPH(fonto_png),     GLYPH(fontp_png),
    GLYPH(fontq_png),       GLYPH(fontr_png),        GLYPH(fonts_png),     GLYPH(fontt_png),
    GLYPH(fontu_png),       GLYPH(fontv_png),        GLYPH(fontw_png),     GLYPH(fontx_png),
    GLYPH(fonty_png),       GLYPH(fontz_png),        GLYPH(font0_png),     GLYPH(font1_png),
    GLYPH(font2_png),       GLYPH(font3_png),        GLYPH(font4_png),     GLYPH(font5_png),
    GLYPH(font6_png),       GLYPH(font7_png),        GLYPH(font8_png),     GLYPH(font9_png),
    GLYPH(fontperiod_png),  GLYPH(fontcomma_png),    GLYPH(fontplus_png),  GLYPH(fontminus_png),
    GLYPH(fontexclaim_png), GLYPH(fontquestion_png), GLYPH(fontcolon_png),
};
#undef GLYPH

void expectDecodes(const Compiled& c) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(hasHeader(c.data, c.size, c.kind));
    Surface s = decodeMemory(c.data, c.size);
    ASSERT_NE(s, nullptr) << IMG_GetError();
    EXPECT_EQ(s->w, c.width);
    EXPECT_EQ(s->h, c.height);
    if (c.kind == Kind::PngRgba) {
        EXPECT_EQ(s->format->BytesPerPixel, 4);
        EXPECT_NE(s->format->Amask, 0u);
    } else {
        EXPECT_EQ(s->format->BytesPerPixel, 3);
        EXPECT_EQ(s->format->Amask, 0u);
    }
}

// White lettering on transparent ground: the border is clear, some pixels are fully
// opaque, and every visible pixel is white.
void expectWhiteLettering(const Compiled& c) {
    SCOPED_TRACE(c.name);
    Surface s = decodeMemory(c.data, c.size);
    ASSERT_NE(s, nullptr);
    for (int x = 0; x < s->w; ++x) {
        EXPECT_EQ(pixelAt(s.get(), x, 0).a, 0) << "top row, x " << x;
        EXPECT_EQ(pixelAt(s.get(), x, s->h - 1).a, 0) << "bottom row, x " << x;
    }
    int opaque = 0;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            Rgba p = pixelAt(s.get(), x, y);
            if (p.a > 0) {
                ASSERT_TRUE(p.r == 255 && p.g == 255 && p.b == 255) << "at " << x << "," << y;
            }
            if (p.a == 255)
                ++opaque;
        }
    EXPECT_GT(opaque, 0);
}

double meanLuma(SDL_Surface* s, int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            Rgba p = pixelAt(s, x, y);
            sum += 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;
        }
    return sum / ((x1 - x0) * (y1 - y0));
}

fs::path dataDir() {
    const char* dir = std::getenv("LUMENFALL_TEST_DATA_DIR");
    return dir ? fs::path(dir) : fs::path();
}

std::vector<fs::path> filesIn(const fs::path& dir) {
    std::vector<fs::path> out;
    if (fs::is_directory(dir))
        for (const auto& e : fs::directory_iterator(dir))
            if (e.is_regular_file())
                out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

struct OggInfo {
    bool opened = false;
    long rate = 0;
    int channels = 0;
    ogg_int64_t samples = 0;
};

OggInfo probeOgg(const fs::path& path) {
    OggInfo info;
    OggVorbis_File vf;
    if (ov_fopen(path.string().c_str(), &vf) != 0)
        return info;
    info.opened = true;
    if (vorbis_info* vi = ov_info(&vf, -1)) {
        info.rate = vi->rate;
        info.channels = vi->channels;
    }
    info.samples = ov_pcm_total(&vf, -1);
    ov_clear(&vf);
    return info;
}

} // namespace

TEST(CompiledImages, EveryArrayDecodesWithItsFormatSizeAndChannels) {
    for (const Compiled& c : kImages)
        expectDecodes(c);
    for (const Compiled& c : kGlyphs)
        expectDecodes(c);
}

TEST(CompiledImages, TextPicturesAndGlyphsAreWhiteLetteringOnClearGround) {
    for (const char* name : {"note_png", "title_png", "rituals_png"})
        for (const Compiled& c : kImages)
            if (std::string(c.name) == name)
                expectWhiteLettering(c);
    for (const Compiled& c : kGlyphs)
        expectWhiteLettering(c);
}

TEST(CompiledImages, GlyphsAndNoiseTexturesAreAllDifferent) {
    auto same = [](const Compiled& a, const Compiled& b) {
        return a.size == b.size && std::equal(a.data, a.data + a.size, b.data);
    };
    for (size_t i = 0; i < std::size(kGlyphs); ++i)
        for (size_t j = i + 1; j < std::size(kGlyphs); ++j)
            EXPECT_FALSE(same(kGlyphs[i], kGlyphs[j])) << kGlyphs[i].name << " = " << kGlyphs[j].name;
    for (int i = 2; i < 6; ++i)
        for (int j = i + 1; j < 6; ++j)
            EXPECT_FALSE(same(kImages[i], kImages[j])) << kImages[i].name << " = " << kImages[j].name;
}

TEST(CompiledImages, ScanLinesAreBlackWithAFaintPeriodicAlpha) {
    Surface s = decodeMemory(Images::lumenfalllines_png, Images::lumenfalllines_png_size);
    ASSERT_NE(s, nullptr);
    int lo = 255, hi = 0;
    for (int y = 0; y < s->h; ++y) {
        Rgba p = pixelAt(s.get(), 0, y);
        ASSERT_TRUE(p.r == 0 && p.g == 0 && p.b == 0) << "row " << y;
        lo = std::min<int>(lo, p.a);
        hi = std::max<int>(hi, p.a);
    }
    EXPECT_GE(lo, 1);
    EXPECT_LE(hi, 14);
    EXPECT_GE(hi - lo, 8); // visibly striped, not a flat tint
}

TEST(CompiledImages, BackgroundsHaveTheirShading) {
    // The note background is dark and lighter towards its left edge.
    Surface note = decodeMemory(Images::noteback_png, Images::noteback_png_size);
    ASSERT_NE(note, nullptr);
    double left = meanLuma(note.get(), 0, 0, 64, 1024);
    double right = meanLuma(note.get(), 960, 0, 1024, 1024);
    EXPECT_LT(meanLuma(note.get(), 0, 0, 1024, 1024), 80.0);
    EXPECT_GT(left, right + 5.0);

    // The finale's sky is red, with a yellow band across the middle that is brightest
    // at the right edge, where the mirrored halves meet.
    Surface sky = decodeMemory(Images::lumenfallback_jpg, Images::lumenfallback_jpg_size);
    ASSERT_NE(sky, nullptr);
    Rgba top = pixelAt(sky.get(), 512, 40);
    EXPECT_GT(top.r, 2 * top.g);
    EXPECT_GT(top.r, 2 * top.b);
    Rgba bandRight = pixelAt(sky.get(), 1020, 512);
    Rgba bandLeft = pixelAt(sky.get(), 4, 512);
    EXPECT_GT(bandRight.r, 200);
    EXPECT_GT(bandRight.g, 180);
    EXPECT_GT(meanLuma(sky.get(), 1000, 500, 1024, 524), meanLuma(sky.get(), 0, 500, 24, 524) + 40.0);
    EXPECT_GT(bandLeft.g, top.g);
}

TEST(CompiledImages, PortraitIsCutOutOnClearGround) {
    Surface s = decodeMemory(Images::sun_png, Images::sun_png_size);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(pixelAt(s.get(), 0, 0).a, 0);
    EXPECT_EQ(pixelAt(s.get(), 1023, 0).a, 0);
    EXPECT_EQ(pixelAt(s.get(), 512, 0).a, 0);      // above the head
    EXPECT_EQ(pixelAt(s.get(), 40, 500).a, 0);     // beside the head
    EXPECT_EQ(pixelAt(s.get(), 512, 450).a, 255);  // the face
    EXPECT_EQ(pixelAt(s.get(), 512, 1000).a, 255); // the chest, cut by the bottom edge
}

TEST(CompiledImages, LineStrokeFadesAcrossItsWidth) {
    static const Uint8 profile[8] = {2, 33, 192, 255, 255, 192, 33, 2};
    ASSERT_TRUE(hasHeader(LineStroke::linestroke_png, LineStroke::linestroke_png_size, Kind::PngRgba));
    Surface s = decodeMemory(LineStroke::linestroke_png, LineStroke::linestroke_png_size);
    ASSERT_NE(s, nullptr) << IMG_GetError();
    ASSERT_EQ(s->w, 8);
    ASSERT_EQ(s->h, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            Rgba p = pixelAt(s.get(), x, y);
            EXPECT_TRUE(p.r == 255 && p.g == 255 && p.b == 255) << x << "," << y;
            EXPECT_EQ(p.a, profile[x]) << x << "," << y;
        }
}

TEST(DataFolder, PicturesAndMasksAre512SquareAndDecode) {
    const fs::path data = dataDir();
    ASSERT_FALSE(data.empty()) << "LUMENFALL_TEST_DATA_DIR is not set";
    const auto images = filesIn(data / "images");
    const auto feathers = filesIn(data / "feathers");
    EXPECT_GE(images.size(), 40u);
    EXPECT_GE(feathers.size(), 8u);
    EXPECT_LE(feathers.size(), 16u);
    for (const auto* set : {&images, &feathers})
        for (const fs::path& p : *set) {
            SCOPED_TRACE(p.string());
            Surface s = decodeFile(p);
            ASSERT_NE(s, nullptr) << IMG_GetError();
            EXPECT_EQ(s->w, 512);
            EXPECT_EQ(s->h, 512);
        }
    // A mask is white in its middle and black at its corners.
    for (const fs::path& p : feathers) {
        SCOPED_TRACE(p.string());
        Surface s = decodeFile(p);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(pixelAt(s.get(), 0, 0).r, 0);
        EXPECT_EQ(pixelAt(s.get(), 511, 511).r, 0);
        int brightest = 0;
        for (int y = 128; y < 384; y += 4)
            for (int x = 128; x < 384; x += 4)
                brightest = std::max<int>(brightest, pixelAt(s.get(), x, y).r);
        EXPECT_GT(brightest, 200);
    }
}

TEST(DataFolder, ShaderSourcesArePresent) {
    const fs::path shaders = dataDir() / "shaders";
    for (const char* name : {"postProc.vert", "postProc.frag", "feather.vert", "feather.frag",
                             "ghostFeather.vert", "ghostFeather.frag"}) {
        std::ifstream in(shaders / name);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("void main"), std::string::npos) << name;
    }
}

TEST(DataFolder, RecordingsDecodeAt44100HzWithEnoughSamples) {
    const fs::path data = dataDir();
    ASSERT_FALSE(data.empty()) << "LUMENFALL_TEST_DATA_DIR is not set";
    const auto sounds = filesIn(data / "sounds");
    EXPECT_GE(sounds.size(), 30u);
    for (const fs::path& p : sounds) {
        SCOPED_TRACE(p.string());
        OggInfo info = probeOgg(p);
        ASSERT_TRUE(info.opened);
        EXPECT_EQ(info.rate, 44100);
        EXPECT_GE(info.samples, 20 * 44100);
        EXPECT_LE(info.samples, 60 * 44100);
    }
    const auto other = filesIn(data / "otherSounds");
    EXPECT_EQ(other.size(), 2u);
    for (const fs::path& p : other) {
        SCOPED_TRACE(p.string());
        OggInfo info = probeOgg(p);
        ASSERT_TRUE(info.opened);
        EXPECT_EQ(info.rate, 44100);
        EXPECT_GE(info.samples, 10 * 44100);
        EXPECT_LE(info.samples, 20 * 44100);
    }
    // The closing passage and its reversal last equally long.
    OggInfo forward = probeOgg(data / "otherSounds/finalSpeech-forward.ogg");
    OggInfo backward = probeOgg(data / "otherSounds/finalSpeech.ogg");
    ASSERT_TRUE(forward.opened && backward.opened);
    EXPECT_EQ(forward.samples, backward.samples);
}

#include "ImageLoader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

const std::string fixtures = LUMENFALL_FIXTURES;

std::string fileBytes(const std::string& name) {
    std::ifstream file(fixtures + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

struct Decoded {
    std::vector<int> bytes;
    unsigned int width;
    unsigned int height;
    bool null;
    std::string output;
};

// Decodes from memory (or from the file) and keeps what came out.
Decoded decode(const std::string& name, bool fromFile = false) {
    ImageLoader loader;
    unsigned char* pixels = nullptr;
    testing::internal::CaptureStdout();
    if (fromFile) {
        pixels = loader.loadImage(fixtures + "/" + name).pixels;
    } else {
        const std::string data = fileBytes(name);
        pixels = loader.loadImage(data.data(), static_cast<unsigned int>(data.size())).pixels;
    }
    Decoded result{
        {}, loader.getWidth(), loader.getHeight(), pixels == nullptr, testing::internal::GetCapturedStdout()};
    if (pixels)
        result.bytes.assign(pixels, pixels + result.width * result.height * 4);
    delete[] pixels;
    return result;
}

} // namespace

TEST(ImageLoader, GivesBlueGreenRedAlphaWhateverTheFormat) {
    Decoded rgba = decode("rgba-3x2.png");
    EXPECT_EQ(rgba.width, 3u);
    EXPECT_EQ(rgba.height, 2u);
    EXPECT_EQ(rgba.bytes, (std::vector<int>{30,  20,  10,  40,  70,  60,  50,  80,  110, 100, 90,  120, //
                                            150, 140, 130, 160, 190, 180, 170, 200, 230, 220, 210, 255}));
    EXPECT_EQ(rgba.output, "");

    // 24-bit rows are padded by the decoder; the copy follows the pitch.
    Decoded rgb = decode("rgb-3x2.png");
    EXPECT_EQ(rgb.bytes, (std::vector<int>{30,  20,  10,  255, 60,  50,  40,  255, 90,  80,  70,  255,    //
                                           120, 110, 100, 255, 150, 140, 130, 255, 180, 170, 160, 255})); //
    EXPECT_EQ(rgb.output.find("Debug: ImageLoader: Image 24bit.  Assuming 24bit RGB format."), 0u);

    // Palette with a fully transparent entry, and with a half-transparent one.
    EXPECT_EQ(decode("palette-3x1.png").bytes,
              (std::vector<int>{0, 0, 255, 255, 255, 0, 0, 255, 9, 9, 9, 0}));
    EXPECT_EQ(decode("palette-alpha-2x1.png").bytes, (std::vector<int>{50, 100, 200, 255, 60, 40, 20, 128}));
    // 16 bits a channel keep their high bytes.
    EXPECT_EQ(decode("rgb16-2x1.png").bytes,
              (std::vector<int>{0x9A, 0x56, 0x12, 255, 0x80, 0x00, 0xFF, 255}));
    EXPECT_EQ(decode("grey-2x1.png").bytes, (std::vector<int>{0, 0, 0, 255, 200, 200, 200, 255}));

    Decoded jpeg = decode("flat-8x8.jpg", true);
    ASSERT_EQ(jpeg.bytes.size(), 8u * 8u * 4u);
    for (size_t i = 0; i < jpeg.bytes.size(); i += 4) {
        EXPECT_NEAR(jpeg.bytes[i], 10, 4);
        EXPECT_NEAR(jpeg.bytes[i + 1], 40, 4);
        EXPECT_NEAR(jpeg.bytes[i + 2], 200, 4);
        EXPECT_EQ(jpeg.bytes[i + 3], 255);
    }
}

TEST(ImageLoader, FileAndMemoryAgree) {
    Decoded memory = decode("rgba-3x2.png");
    Decoded file = decode("rgba-3x2.png", true);
    EXPECT_EQ(memory.bytes, file.bytes);
    EXPECT_EQ(file.width, 3u);
}

TEST(ImageLoader, RefusesWhatIsNotPngOrJpeg) {
    // The GIF decodes with the library's general loader; here it is refused.
    Decoded gif = decode("red-4x4.gif");
    EXPECT_TRUE(gif.null);
    EXPECT_EQ(gif.width, 0u);
    EXPECT_TRUE(decode("red-4x4.gif", true).null);

    const std::string png = fileBytes("rgba-3x2.png");
    ImageLoader loader;
    EXPECT_EQ(loader.loadImage(png.data(), 20).pixels, nullptr); // cut short
    EXPECT_EQ(loader.getWidth(), 0u);
    EXPECT_EQ(loader.loadImage("not a picture", 13).pixels, nullptr);
    EXPECT_EQ(loader.loadImage(nullptr, 0).pixels, nullptr);

    // A failed load forgets the previous size.
    unsigned char* pixels = loader.loadImage(png.data(), static_cast<unsigned int>(png.size())).pixels;
    EXPECT_NE(pixels, nullptr);
    delete[] pixels;
    testing::internal::CaptureStdout();
    EXPECT_EQ(loader.loadImage(fixtures + "/no-such-file.png").pixels, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(loader.getWidth(), 0u);
    EXPECT_EQ(loader.getHeight(), 0u);
}

TEST(ImageLoader, WarnsAboutLargePicturesButLoadsThem) {
    Decoded memory = decode("wide-2048x16.png");
    EXPECT_EQ(memory.width, 2048u);
    EXPECT_EQ(memory.height, 16u);
    EXPECT_EQ(memory.bytes.size(), 2048u * 16u * 4u);
    EXPECT_EQ(memory.output.find("Debug: ImageLoader: Warning: image dimensions greater than 1024 (2048x16)"),
              0u)
        << memory.output;
    Decoded file = decode("wide-2048x16.png", true);
    EXPECT_EQ(file.output.find("Debug: ImageLoader: Warning: image (" + fixtures +
                               "/wide-2048x16.png) dimensions greater than 1024 (2048x16)"),
              0u)
        << file.output;
}

TEST(ImageLoader, CutPicturesFailInsteadOfHanging) {
    // A palette PNG whose tRNS chunk claims 262147 bytes, far past the end of
    // the data (found by fuzzing): the PNG reader used to parse stale buffer
    // contents after the end for ever.
    const unsigned char overlong[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
        0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x08, 0x03, 0x00, 0x00, 0x00, 0x2c,
        0x3e, 0xe4, 0x86, 0x00, 0x00, 0x00, 0x09, 0x50, 0x4c, 0x54, 0x45, 0xff, 0x00, 0x00, 0x00,
        0x00, 0xff, 0x09, 0x09, 0x09, 0xb3, 0xe6, 0xdb, 0x18, 0x00, 0x04, 0x00, 0x03, 0x74, 0x52,
        0x4e, 0x53, 0xbf, 0xff, 0x00, 0xd7, 0xca, 0x0d, 0x41, 0x00, 0x00, 0x00, 0x0c, 0x49, 0x44,
        0x41, 0x54, 0x78, 0xda, 0x63, 0x60, 0x60, 0x64, 0x02, 0x00, 0x00, 0x08, 0x00, 0x04, 0x08,
        0x1d, 0x63, 0x0a, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
    };
    ImageLoader loader;
    unsigned char* pixels =
        loader.loadImage(reinterpret_cast<const char*>(overlong), sizeof(overlong)).pixels;
    EXPECT_EQ(pixels, nullptr);
    delete[] pixels;

    // A picture cut anywhere before its closing chunk is refused, from
    // memory and from a file.
    const std::string png = fileBytes("rgba-3x2.png");
    const size_t end = png.size() - 12; // the closing chunk is 12 bytes
    const std::string path = testing::TempDir() + "/cut.png";
    for (size_t n = 1; n < end; ++n) {
        pixels = loader.loadImage(png.data(), static_cast<unsigned int>(n)).pixels;
        EXPECT_EQ(pixels, nullptr) << n << " bytes";
        delete[] pixels;
        std::ofstream(path, std::ios::binary).write(png.data(), static_cast<std::streamsize>(n));
        pixels = loader.loadImage(path).pixels;
        EXPECT_EQ(pixels, nullptr) << n << " bytes from a file";
        delete[] pixels;
    }
    std::remove(path.c_str());
}

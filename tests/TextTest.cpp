#include "Application.h"
#include "DrawingTestSupport.h"
#include "OpenGLFont.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

using drawingtest::capturedOutput;
using drawingtest::near;
using drawingtest::WindowTest;

namespace {

// A square glyph picture, every pixel the same, in the image loader's byte
// order (B, G, R, A).
unsigned char* glyphPicture(unsigned int size, unsigned char r, unsigned char g, unsigned char b,
                            unsigned char a = 255) {
    return drawingtest::solidImage(size, size, r, g, b, a);
}

class GlyphTextTest : public WindowTest {};

// The system's DejaVu Sans, copied into the font folder of the throw-away home.
class FontTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (HasFatalFailure())
            return;
        const std::string home = std::getenv("HOME");
        const std::string folder = home + "/.fonts";
        mkdir(folder.c_str(), 0755);
        std::ifstream source("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
        ASSERT_TRUE(source) << "DejaVu Sans is not installed";
        std::ofstream(folder + "/DejaVuSans.ttf", std::ios::binary) << source.rdbuf();
    }

    // The text of each line the layout made, keyed by line.
    static std::vector<std::string> lines(const std::vector<OpenGLFont::Placement>& placements) {
        std::vector<std::string> result;
        float y = -1e9f;
        for (const OpenGLFont::Placement& placement : placements) {
            if (placement.y != y) {
                result.emplace_back();
                y = placement.y;
            }
            result.back() += OpenGLFont::characters[placement.glyph];
        }
        return result;
    }

    static float widthOf(const OpenGLFont& font, const std::string& text) {
        float width = 0;
        for (char c : text)
            for (const OpenGLFont::Glyph& glyph : font.getGlyphs())
                if (glyph.character == c)
                    width += glyph.advance;
        return width;
    }
};

} // namespace

TEST_F(GlyphTextTest, EachCharacterIsASquareAndThePenMovesOneSize) {
    drawer->loadGlyph(Drawer::GlyphA, glyphPicture(64, 255, 0, 0), 64);
    drawer->loadGlyph(Drawer::Glyph1, glyphPicture(64, 0, 255, 0), 64);
    drawer->loadGlyph(Drawer::GlyphExclaim, glyphPicture(64, 0, 0, 255), 64);
    EXPECT_EQ(drawer->getGlyphPadding(), 0);
    drawer->drawText("A1!", 100, 100, 32, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(100, 100), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(131, 131), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(132, 100), 0, 255, 0));
    EXPECT_TRUE(near(pixelAt(164, 100), 0, 0, 255));
    EXPECT_TRUE(near(pixelAt(195, 131), 0, 0, 255));
    EXPECT_TRUE(near(pixelAt(196, 110), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(110, 132), 0, 0, 0));

    // A blank leaves a gap of one size.
    drawer->drawText("A A", 100, 200, 32, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(116, 216), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(148, 216), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(180, 216), 255, 0, 0));

    // The font form with no font draws glyph text of scale * 32.
    drawer->drawText("A", 0, 100, 400, 50, 0.5f, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(100, 400), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(115, 415), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(116, 408), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(108, 416), 0, 0, 0));
}

TEST_F(GlyphTextTest, DecodedGlyphPicturesKeepTheirColours) {
    // An orange PNG (230, 120, 20) goes the game's way: decoded by the image
    // loader and handed to loadGlyph.
    std::ifstream file(std::string(LUMENFALL_FIXTURES) + "/orange-glyph-2x2.png", std::ios::binary);
    const std::string png((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(png.empty());
    const unsigned char* pictures[] = {reinterpret_cast<const unsigned char*>(png.data())};
    const unsigned int sizes[] = {static_cast<unsigned int>(png.size())};
    Application::loadGlyphs(drawer, pictures, sizes, 1);
    EXPECT_EQ(drawer->getGlyph(Drawer::GlyphA).width, 2);
    drawer->drawText("A", 10, 10, 32, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(26, 26), 230, 120, 20));
}

TEST_F(GlyphTextTest, LettersAreCaseBlind) {
    for (int glyph = Drawer::GlyphA; glyph <= Drawer::GlyphZ; ++glyph)
        drawer->loadGlyph(static_cast<Drawer::Glyph>(glyph),
                          glyphPicture(64, static_cast<unsigned char>(glyph * 9), 100, 200), 64);
    drawer->drawText("hack Scandal", 0, 0, 20, 1, 1, 1, 1);
    drawer->drawText("HACK sCANDAL", 0, 100, 20, 1, 1, 1, 1);
    std::vector<unsigned char> window = windowPixels();
    int differences = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 240 * 3; ++x)
            differences += window[y * 1280 * 3 + x] != window[(y + 100) * 1280 * 3 + x];
    EXPECT_EQ(differences, 0);
    EXPECT_TRUE(near(pixelAt(5, 5), 7 * 9, 100, 200)); // "h"
}

TEST_F(GlyphTextTest, UnloadedGlyphIsATintedWhiteSquare) {
    drawer->drawText("_", 10, 10, 32, 0, 1, 0, 1);
    EXPECT_TRUE(near(pixelAt(26, 26), 0, 255, 0));
    EXPECT_TRUE(near(pixelAt(26, 43), 0, 0, 0));
    drawer->drawText("\n#", 100, 10, 32, 1, 1, 1, 1); // neither has a glyph
    EXPECT_TRUE(near(pixelAt(116, 26), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(148, 26), 0, 0, 0));
}

TEST_F(GlyphTextTest, PaddedGlyphsStepByTheirOwnWidth) {
    // 60 pixels square, padded to 64: the right columns repeat the row's last
    // byte (255: opaque white), the rows below stay transparent.
    drawer->loadGlyph(Drawer::GlyphA, glyphPicture(60, 255, 0, 0), 60);
    EXPECT_EQ(drawer->getGlyphPadding(), 4);
    EXPECT_EQ(drawer->getGlyph(Drawer::GlyphA).width, 64);
    drawer->drawText("AA", 0, 0, 64, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(30, 30), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(61, 30), 255, 0, 0));  // under the second glyph
    EXPECT_TRUE(near(pixelAt(119, 30), 255, 0, 0)); // second glyph: 60..119 red
    EXPECT_TRUE(near(pixelAt(121, 30), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(30, 62), 0, 0, 0));

    // A picture that failed to decode: a 1 x 1 transparent glyph.
    drawer->loadGlyph(Drawer::GlyphB, nullptr, 0);
    EXPECT_EQ(drawer->getGlyphPadding(), 1);
    EXPECT_EQ(drawer->getGlyph(Drawer::GlyphB).width, 1);
    drawer->drawText("B", 300, 0, 32, 1, 1, 1, 1);
    EXPECT_TRUE(near(pixelAt(316, 16), 0, 0, 0));
}

TEST_F(FontTest, HandlesCountFromOneAndMissingFontsGiveNone) {
    unsigned int handle = 1234;
    std::string output = capturedOutput([&] { handle = drawer->loadFont("NoSuchFont.ttf", 20); });
    EXPECT_EQ(handle, 0u);
    EXPECT_NE(output.find("OpenGLFont: Could not find font: NoSuchFont.ttf\n"), std::string::npos) << output;
    output = capturedOutput([&] { handle = drawer->loadFont("DejaVuSans.ttf", 20); });
    EXPECT_EQ(handle, 1u) << output;
    EXPECT_NE(output.find("Debug: font DejaVuSans.ttf:20 atlasSize = "), std::string::npos) << output;
    output = capturedOutput([&] { handle = drawer->loadFont("DejaVuSans.ttf", 30); });
    EXPECT_EQ(handle, 2u);
    EXPECT_EQ(OpenGLFont::getFontPath("DejaVuSans.ttf"),
              std::string(std::getenv("HOME")) + "/.fonts/DejaVuSans.ttf");
}

TEST_F(FontTest, DrawsWhiteGlyphsFromTheAtlas) {
    unsigned int font = 0;
    capturedOutput([&] { font = drawer->loadFont("DejaVuSans.ttf", 48); });
    ASSERT_EQ(font, 1u);
    drawer->drawText("H", font, 100, 100, 1000, 1, 1, 1, 1, 1);
    drawer->drawText("H", font, 300, 100, 1000, 1, 1, 0, 0, 1);
    int white = 0;
    int red = 0;
    for (int y = 100; y < 180; ++y)
        for (int x = 95; x < 160; ++x) {
            white += pixelAt(x, y).g > 200;
            red += pixelAt(x + 200, y).r > 200 && pixelAt(x + 200, y).g < 20;
        }
    EXPECT_GT(white, 300); // two stems and a bar
    EXPECT_LT(white, 3000);
    EXPECT_EQ(white, red);
    for (int x = 180; x < 290; x += 3)
        EXPECT_TRUE(near(pixelAt(x, 130), 0, 0, 0, 0)) << x;
}

TEST_F(FontTest, WrapsAtTheLastBlank) {
    OpenGLFont* font = nullptr;
    capturedOutput([&] { font = new OpenGLFont("DejaVuSans.ttf", 20); });
    ASSERT_TRUE(font->isLoaded());
    const float line = font->getLineHeight();

    // The first "c" overflows: the line breaks at the blank before it.
    std::vector<OpenGLFont::Placement> placed =
        font->layout("aaa bbb ccc", 10, 20, widthOf(*font, "aaa bbb c") - 0.5f, 1);
    EXPECT_EQ(lines(placed), (std::vector<std::string>{"aaa bbb", "ccc"}));
    ASSERT_EQ(placed.size(), 10u);
    EXPECT_EQ(placed[0].x, 10);
    EXPECT_EQ(placed[0].y, 20);
    EXPECT_EQ(placed[7].x, 10); // "c" starts the next line: the blank is not drawn there
    EXPECT_EQ(placed[7].y, 20 + line);

    // A word longer than the wrap width is cut before the overflowing character.
    placed = font->layout("aaaaaaaa", 0, 0, widthOf(*font, "aaaa") + 0.5f, 1);
    EXPECT_EQ(lines(placed), (std::vector<std::string>{"aaaa", "aaaa"}));

    // Scaled text wraps by its scaled width; lines stay lineHeight apart.
    placed = font->layout("aaaaaaaa", 0, 0, widthOf(*font, "aaaa") + 0.5f, 0.5f);
    EXPECT_EQ(lines(placed), (std::vector<std::string>{"aaaaaaaa"}));

    // Narrower than one character: each stays on a line of its own.
    placed = font->layout("abc", 0, 0, 1, 1);
    EXPECT_EQ(lines(placed), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(placed[2].y, 2 * line);

    // A line feed starts a new line; unknown characters take a blank's room.
    placed = font->layout("a\nb\tc", 0, 0, 1000, 1);
    EXPECT_EQ(lines(placed), (std::vector<std::string>{"a", "bc"}));
    EXPECT_EQ(placed[2].x, widthOf(*font, "b "));
    delete font;
}

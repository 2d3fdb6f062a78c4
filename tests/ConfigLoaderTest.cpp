#include "ConfigLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

// Points the configuration folder at a fresh temporary folder.
class ConfigFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumenfall-config-XXXXXX";
        base = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", (base + "/xdg").c_str(), 1);
        folder = base + "/xdg/Lumenfall";
        file = folder + "/Lumenfall.conf";
    }
    void TearDown() override {
        std::system(("chmod -R u+w '" + base + "'; rm -rf '" + base + "'").c_str());
        unsetenv("XDG_CONFIG_HOME");
    }
    void writeFile(const std::string& text) {
        mkdir((base + "/xdg").c_str(), 0755);
        mkdir(folder.c_str(), 0755);
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string readFile() {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string base, folder, file;
};

} // namespace

TEST_F(ConfigFolder, FirstRunCreatesTheFolderAndTheSevenLineFile) {
    testing::internal::CaptureStdout();
    ConfigLoader config;
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Created directory " + folder + "\n"), std::string::npos) << out;
    std::string text = readFile();
    // The size lines hold the desktop size; the rest are fixed.
    EXPECT_EQ(text.substr(0, 2), "w ");
    EXPECT_NE(text.find("\nh "), std::string::npos);
    EXPECT_NE(text.find("\na 0\nf 1\nns 0\nnm 0\naa CoreAudio\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
    EXPECT_EQ(config.antialiasLevel, 0);
    EXPECT_TRUE(config.fullscreen);
    EXPECT_FALSE(config.noSound);
    EXPECT_FALSE(config.noMusic);
    EXPECT_EQ(config.audioApi, "CoreAudio");
    EXPECT_GT(config.width, 0);
    EXPECT_GT(config.height, 0);
}

TEST_F(ConfigFolder, MissingKeysKeepTheirDefaults) {
    writeFile("f 0\n");
    ConfigLoader config;
    EXPECT_EQ(config.width, 1024);
    EXPECT_EQ(config.height, 768);
    EXPECT_EQ(config.antialiasLevel, 6);
    EXPECT_FALSE(config.fullscreen);
    EXPECT_EQ(config.audioApi, "CoreAudio");
    EXPECT_EQ(readFile(), "f 0\n"); // never rewritten
}

TEST_F(ConfigFolder, ValuesAreReadByTheirKeysAndBadValuesSkipped) {
    writeFile("aa JACK\na 4\nns 1\nnm 2\nx 5\n# comment\n\nwidth 800\nw 1280\nh 720\nw 640\nf 7\nn? 1");
    ConfigLoader config;
    EXPECT_EQ(config.audioApi, "JACK");
    EXPECT_EQ(config.antialiasLevel, 4);
    EXPECT_TRUE(config.noSound);
    EXPECT_FALSE(config.noMusic); // 2 is no boolean
    EXPECT_EQ(config.width, 640); // the later line wins; "width 800" is no number
    EXPECT_EQ(config.height, 720);
    EXPECT_TRUE(config.fullscreen);
}

TEST_F(ConfigFolder, LastLineWithoutLineFeedAndTrailingSpacesAreKept) {
    writeFile("aa ALSA  \r\nh 600");
    ConfigLoader config;
    EXPECT_EQ(config.audioApi, "ALSA  ");
    EXPECT_EQ(config.height, 600);
}

TEST_F(ConfigFolder, AnOverlongLineDoesNotLoseTheLinesAfterIt) {
    writeFile("w 1600" + std::string(300, '0') + "\nh 900\nns 1\n");
    ConfigLoader config;
    EXPECT_EQ(config.width, 1024); // 127 characters of digits overflow: unreadable
    EXPECT_EQ(config.height, 900);
    EXPECT_TRUE(config.noSound);
}

TEST_F(ConfigFolder, ANulByteEndsOnlyItsOwnLine) {
    using namespace std::string_literals;
    writeFile("aa AL\0SA\nh 600\n\0\nw 800\nns 1"s);
    ConfigLoader config;
    EXPECT_EQ(config.audioApi, "AL");
    EXPECT_EQ(config.height, 600);
    EXPECT_EQ(config.width, 800);
    EXPECT_TRUE(config.noSound);
}

TEST_F(ConfigFolder, UnusableSizesAndHugeNumbersFallBack) {
    writeFile("w -5\nh 0\na 99999999999999999999\nw\nh \n");
    ConfigLoader config;
    EXPECT_EQ(config.width, 1024);
    EXPECT_EQ(config.height, 768);
    EXPECT_EQ(config.antialiasLevel, 6);
}

TEST_F(ConfigFolder, BinaryGarbageIsSurvived) {
    std::string garbage;
    unsigned int seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage.push_back(static_cast<char>(seed >> 16));
    }
    writeFile(garbage);
    ConfigLoader config;
    EXPECT_EQ(readFile(), garbage);
    EXPECT_GE(config.width, 1);
    EXPECT_GE(config.height, 1);
}

TEST_F(ConfigFolder, AFolderInPlaceOfTheFileIsLeftAlone) {
    mkdir((base + "/xdg").c_str(), 0755);
    mkdir(folder.c_str(), 0755);
    mkdir(file.c_str(), 0755);
    ConfigLoader config;
    struct stat info;
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(config.width, 1024);
}

TEST_F(ConfigFolder, ExhibitionIsTheWholeKeyEx) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ConfigLoader().exhibit); // not in the first-run file
    testing::internal::GetCapturedStdout();
    writeFile("ex 1\n");
    EXPECT_TRUE(ConfigLoader().exhibit);
    writeFile("exhibit 1\ne 1\nex1\nex  \nex 2\n");
    EXPECT_FALSE(ConfigLoader().exhibit);
    writeFile("ex 1\nex 0\n");
    EXPECT_FALSE(ConfigLoader().exhibit);
}

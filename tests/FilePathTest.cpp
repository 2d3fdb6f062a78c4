#include "FilePath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A fresh folder under the test's temporary HOME, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/lumenfall-path-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    void write(const std::string& name, const std::string& text = "x") const {
        std::ofstream(path + "/" + name) << text;
    }
    std::string path;
};

} // namespace

TEST(FilePath, ChildrenAreSortedBytewiseAndIncludeHiddenEntries) {
    TempFolder folder;
    folder.write("b.png");
    folder.write("A.png");
    folder.write("a.png");
    folder.write("10.jpg");
    folder.write("2.jpg");
    FilePath dir(folder.path);
    ASSERT_EQ(dir.getNumChildren(), 5);
    EXPECT_EQ(dir.getChild(0).path, folder.path + "/10.jpg");
    EXPECT_EQ(dir.getChild(1).path, folder.path + "/2.jpg");
    EXPECT_EQ(dir.getChild(2).path, folder.path + "/A.png");
    EXPECT_EQ(dir.getChild(4).path, folder.path + "/b.png");
    EXPECT_EQ(dir.getChild(5).path, "");
    EXPECT_EQ(dir.getChild(-1).path, "");

    TempFolder hidden;
    hidden.write(".secret");
    EXPECT_EQ(FilePath(hidden.path).getNumChildren(), 1);
    EXPECT_EQ(FilePath(hidden.path).getChild(0).path, hidden.path + "/.secret");
}

TEST(FilePath, KindQueriesOnFilesFoldersAndTheEmptyPath) {
    TempFolder folder;
    folder.write("file.txt");
    FilePath file(folder.path + "/file.txt");
    EXPECT_TRUE(file.exists());
    EXPECT_TRUE(file.isFile());
    EXPECT_FALSE(file.isDirectory());
    EXPECT_TRUE(FilePath(folder.path).isDirectory());
    EXPECT_FALSE(FilePath(folder.path).isFile());
    EXPECT_EQ(file.getNumChildren(), 0);
    FilePath empty;
    EXPECT_FALSE(empty.exists());
    EXPECT_FALSE(empty.isFile());
    EXPECT_FALSE(empty.isDirectory());
    EXPECT_EQ(empty.getNumChildren(), 0);
    EXPECT_FALSE(FilePath(folder.path + "/missing").exists());
}

TEST(FilePath, OnlyRegularFilesOpenForReadingAndAPipeDoesNotBlock) {
    TempFolder folder;
    folder.write("file.txt", "abc");
    std::FILE* file = FilePath::openForReading(folder.path + "/file.txt");
    ASSERT_NE(file, nullptr);
    char text[4] = {};
    EXPECT_EQ(std::fread(text, 1, 3, file), 3u);
    EXPECT_STREQ(text, "abc");
    std::fclose(file);
    EXPECT_EQ(FilePath::openForReading(folder.path), nullptr);
    ASSERT_EQ(mkfifo((folder.path + "/pipe").c_str(), 0600), 0);
    EXPECT_EQ(FilePath::openForReading(folder.path + "/pipe"), nullptr);
    EXPECT_EQ(FilePath::openForReading(folder.path + "/missing"), nullptr);
    EXPECT_EQ(FilePath::openForReading(""), nullptr);
}

TEST(FilePath, ParentNameAndExtensionRules) {
    EXPECT_EQ(FilePath("/Users/x/file").getParent().path, "/Users/x");
    EXPECT_EQ(FilePath("/file").getParent().path, "");
    EXPECT_EQ(FilePath("bare").getParent().path, "bare");
    EXPECT_EQ(FilePath("/a/photo.tar.gz").getName(), "photo.tar");
    EXPECT_EQ(FilePath("/a/.hidden").getName(), "");
    EXPECT_EQ(FilePath("/a/plain").getName(), "plain");
    EXPECT_EQ(FilePath("/a/b.c/d").getName(), "d");
    EXPECT_EQ(FilePath("/a/b.c/d").getNameWithExtension(), "d");
    // The extension is taken from the whole path, so a dot in a folder counts.
    EXPECT_EQ(FilePath("/a/b.c/d").getExtension(), "c/d");
    EXPECT_EQ(FilePath("/a/pic.png").getExtension(), "png");
    EXPECT_EQ(FilePath("").getExtension(), "");
    TempFolder folder;
    EXPECT_EQ(FilePath(folder.path).getExtension(), "");
    EXPECT_EQ(FilePath("/x").getChild("sub/file.ogg").path, "/x/sub/file.ogg");
}

TEST(FilePath, CopyToHandlesSpacesAndFailsCleanly) {
    TempFolder folder;
    folder.write("with space.txt", "hello\nworld");
    FilePath source(folder.path + "/with space.txt");
    ASSERT_TRUE(source.copyTo(folder.path + "/copy of it.txt"));
    std::ifstream copy(folder.path + "/copy of it.txt");
    std::string text((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "hello\nworld");
    EXPECT_FALSE(FilePath().copyTo(folder.path + "/x"));
    EXPECT_FALSE(FilePath(folder.path + "/missing").copyTo(folder.path + "/y"));
    EXPECT_FALSE(source.copyTo(folder.path + "/no/such/folder/z"));
    EXPECT_TRUE(FilePath(folder.path + "/made").createAsDirectory());
    EXPECT_TRUE(FilePath(folder.path + "/made").isDirectory());
    EXPECT_FALSE(FilePath(folder.path + "/made").createAsDirectory());
}

TEST(FilePath, CopyToRefusesItsOwnFileAndFolders) {
    TempFolder folder;
    folder.write("keep.txt", "precious");
    std::string keep = folder.path + "/keep.txt";
    std::string linked = folder.path + "/link.txt";
    ASSERT_EQ(symlink(keep.c_str(), linked.c_str()), 0);
    // Onto itself: by the same path, by another spelling, through a link.
    for (const std::string& target : {keep, folder.path + "/./keep.txt", linked})
        EXPECT_FALSE(FilePath(keep).copyTo(target)) << target;
    std::ifstream kept(keep);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()),
              "precious");

    EXPECT_TRUE(FilePath(folder.path + "/sub").createAsDirectory());
    EXPECT_FALSE(FilePath(folder.path + "/sub").copyTo(folder.path + "/from-folder"));
    EXPECT_FALSE(FilePath(folder.path + "/from-folder").exists());
}

TEST(FilePath, HomeAndConfigFolderFollowTheEnvironment) {
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", "/home/someone", 1);
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(FilePath::getAppDataPath().path, "/home/someone/.config");
    setenv("XDG_CONFIG_HOME", "/elsewhere/config", 1);
    EXPECT_EQ(FilePath::getAppDataPath().path, "/elsewhere/config");
    unsetenv("HOME");
    // Without HOME the password database still names a home folder.
    EXPECT_FALSE(FilePath::getHomeDir().path.empty());
    std::vector<FilePath> fonts = FilePath::getFontsDirs();
    ASSERT_GE(fonts.size(), 2u);
    EXPECT_EQ(fonts.back().path, "/usr/share/fonts");
    setenv("HOME", savedHome.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}

TEST(FilePath, DataFolderIsFoundBesideTheExecutable) {
    std::vector<FilePath> candidates = FilePath::getDataFilesCandidates();
    ASSERT_GE(candidates.size(), 3u);
    FilePath exeDir = FilePath::getCurrentExecutableDir();
    EXPECT_EQ(candidates[0].path, exeDir.path + "/data");
    EXPECT_EQ(candidates[1].path, exeDir.path + "/../share/lumenfall");
    // The install data folder comes last, as an absolute path; the package
    // test checks its value in the packaged executable.
    EXPECT_EQ(candidates.back().path.substr(0, 1), "/");
    EXPECT_EQ(candidates.back().getNameWithExtension(), "lumenfall");
}

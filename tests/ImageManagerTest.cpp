#include "ImageManager.h"
#include "Random.h"
#include "RecordingDrawer.h"
#include "TempDataFolder.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// The widths of the pictures handed to the drawer, in order.
std::vector<int> loadedWidths(const RecordingDrawer& drawer) {
    std::vector<int> widths;
    for (const RecordingDrawer::Call& call : drawer.named("loadImage"))
        widths.push_back(static_cast<int>(call.numbers[0]));
    return widths;
}

} // namespace

TEST(ImageManager, LoadsOnePicturePerCallInSortedOrderHiddenFilesIncluded) {
    TempDataFolder data;
    data.addPicture("images", "b.png", 3);
    data.addPicture("images", "a.png", 2);
    data.addPicture("images", ".hidden.png", 1);
    FilePath images = data.folder("images");
    RecordingDrawer drawer;
    ImageManager manager;

    manager.loadImages(&drawer, images);
    EXPECT_EQ(loadedWidths(drawer), std::vector<int>({1}));
    // The folder was read on the first call: a picture added now never arrives.
    data.addPicture("images", "c.png", 4);
    manager.loadImages(&drawer, images);
    manager.loadImages(&drawer, images);
    EXPECT_EQ(loadedWidths(drawer), std::vector<int>({1, 2, 3}));
    // A fourth call finds nothing new.
    manager.loadImages(&drawer, images);
    EXPECT_EQ(drawer.count("loadImage"), 3);
    EXPECT_EQ(loadedWidths(drawer), std::vector<int>({1, 2, 3}));
}

TEST(ImageManager, RandomPicturesComeOnlyFromThoseLoadedSoFar) {
    Random::getGlobal().counter = 4242;
    TempDataFolder data;
    data.addPicture("images", "1.png", 1);
    data.addPicture("images", "2.png", 2);
    data.addPicture("images", "3.png", 3);
    RecordingDrawer drawer;
    drawer.nextImage = 10;
    ImageManager manager;

    manager.loadImages(&drawer, data.folder("images"));
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(manager.getRandomImage(), 10u);

    manager.loadImages(&drawer, data.folder("images"));
    manager.loadImages(&drawer, data.folder("images"));
    std::set<unsigned int> seen;
    for (int i = 0; i < 300; ++i)
        seen.insert(manager.getRandomImage());
    EXPECT_EQ(seen, std::set<unsigned int>({10, 11, 12}));
}

TEST(ImageManager, AFileThatDoesNotDecodeStillTakesItsTurn) {
    TempDataFolder data;
    data.addText("images", "a-notes.txt");
    data.addPicture("images", "b.png", 2);
    RecordingDrawer drawer;
    ImageManager manager;
    manager.loadImages(&drawer, data.folder("images"));
    manager.loadImages(&drawer, data.folder("images"));
    // The drawer is handed the empty result and answers 0 for it.
    EXPECT_EQ(loadedWidths(drawer), std::vector<int>({0, 2}));
    std::set<unsigned int> seen;
    for (int i = 0; i < 100; ++i)
        seen.insert(manager.getRandomImage());
    EXPECT_EQ(seen, std::set<unsigned int>({0, 1}));
}

TEST(ImageManagerDeathTest, AnEmptyOrMissingFolderStopsTheProgram) {
    TempDataFolder data;
    RecordingDrawer drawer;
    ImageManager manager;
    EXPECT_DEATH(manager.loadImages(&drawer, data.folder("images")),
                 "ImageManager.cpp:[0-9]+: failed assertion `imagesPath.getNumChildren\\(\\) > 0'");
    EXPECT_DEATH(manager.loadImages(&drawer, data.dir().getChild("missing")),
                 "failed assertion `imagesPath.getNumChildren\\(\\) > 0'");
    EXPECT_DEATH(manager.getRandomImage(), "failed assertion `images.size\\(\\) > 0'");
}

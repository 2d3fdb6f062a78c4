#pragma once

#include "FilePath.h"

#include <cstdlib>
#include <fstream>
#include <string>

// A throw-away data folder for effect tests, removed afterwards. Pictures are
// copies of the fixtures wide1.png to wide4.png: RGBA, 1 pixel high and 1 to 4
// pixels wide, so a test tells them apart by the width the drawer is given.
class TempDataFolder {
public:
    TempDataFolder() {
        char pattern[] = "/tmp/lumenfall-effects-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made ? made : "";
    }
    ~TempDataFolder() {
        if (!path.empty())
            std::system(("rm -rf '" + path + "'").c_str());
    }
    TempDataFolder(const TempDataFolder&) = delete;
    TempDataFolder& operator=(const TempDataFolder&) = delete;

    // The subfolder, made if missing.
    FilePath folder(const std::string& name) const {
        FilePath sub = FilePath(path).getChild(name);
        sub.createAsDirectory();
        return sub;
    }
    // Copies the fixture picture of this width into the subfolder under name.
    void addPicture(const std::string& subfolder, const std::string& name, int width) const {
        FilePath fixture(std::string(LUMENFALL_FIXTURES_DIR) + "/wide" + std::to_string(width) + ".png");
        fixture.copyTo(folder(subfolder).getChild(name).path);
    }
    // A file that is not a picture.
    void addText(const std::string& subfolder, const std::string& name) const {
        std::ofstream(folder(subfolder).getChild(name).path) << "not a picture";
    }
    FilePath dir() const { return FilePath(path); }

    std::string path;
};

#pragma once

#include "FilePath.h"

#include <string>
#include <vector>

class Drawer;

// The set of news pictures that the grid entries and the ghosts show. The
// pictures of the data folder's "images" folder are loaded one per call of
// loadImages (once per play frame), so the set grows while play runs.
class ImageManager {
public:
    static ImageManager* getInstance();

    // Loads at most one more picture from the data folder's "images" folder.
    void loadImages(Drawer* d);
    // The same with the folder given; stops the program when it is empty.
    void loadImages(Drawer* d, const FilePath& imagesPath);
    // A random drawer image id from the pictures loaded so far; stops the
    // program when there are none.
    unsigned int getRandomImage() const;
    // Forgets every loaded id (the drawer keeps the pictures); for tests that
    // give the single instance pictures of their own drawer.
    void reset();

private:
    // Every picture of the folder has been loaded.
    bool isComplete() const;

    std::vector<unsigned int> images; // drawer image ids in loading order
    FilePath folder;                  // the folder read on the first call
    std::vector<std::string> names;   // its entries in sorted order, read once
};

#include "ImageManager.h"

#include "Drawer.h"
#include "FatalCheck.h"
#include "ImageLoader.h"
#include "Log.h"
#include "Random.h"

ImageManager* ImageManager::getInstance() {
    static ImageManager instance;
    return &instance;
}

void ImageManager::loadImages(Drawer* d) {
    // This runs every frame for the whole game: once every picture is in,
    // not even the data folder is looked up.
    if (isComplete())
        return;
    loadImages(d, FilePath::getDataFilesDir().getChild("images"));
}

void ImageManager::loadImages(Drawer* d, const FilePath& imagesPath) {
    if (isComplete())
        return;
    // The folder is read once, on the first call; then one picture is loaded
    // per call, in the folder's sorted order.
    if (names.empty()) {
        FATAL_CHECK(imagesPath.getNumChildren() > 0);
        folder = imagesPath;
        names = imagesPath.getSortedChildNames();
        if (names.empty())
            return; // emptied between the two readings; tried again next time
    }
    const std::string path = folder.getChild(names[images.size()]).path;
    unsigned int handle = ImageLoader::loadFileImage(d, path);
    // The handle 0 still takes its place in the set, so the file is not
    // tried again; the grid entries never draw it.
    if (handle == 0)
        LOG_DEBUG("ImageManager: Skipped " + path + ": not a PNG or JPEG picture that could be read.");
    images.push_back(handle);
}

bool ImageManager::isComplete() const {
    return !names.empty() && images.size() >= names.size();
}

unsigned int ImageManager::getRandomImage() const {
    float u = Random::uniform();
    FATAL_CHECK(images.size() > 0);
    // Taking 0.01 off the count keeps the index below it even for u = 1.
    int index = static_cast<int>(u * (static_cast<float>(images.size()) - 0.01f));
    return images[index];
}

void ImageManager::reset() {
    images.clear();
    names.clear();
}

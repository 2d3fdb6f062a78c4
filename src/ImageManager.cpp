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
    loadImages(d, FilePath::getDataFilesDir().getChild("images"));
}

void ImageManager::loadImages(Drawer* d, const FilePath& imagesPath) {
    // Once every picture of the folder is in, the folder is not read again:
    // this runs every frame for the whole game.
    if (complete)
        return;
    FATAL_CHECK(imagesPath.getNumChildren() > 0);
    FilePath child = imagesPath.getChild(static_cast<int>(images.size()));
    if (child.path.empty()) {
        complete = true;
        return;
    }
    ImageData data = ImageLoader().loadImage(child.path);
    unsigned int handle = d->loadImage(data.pixels, data.width, data.height);
    // The handle 0 still takes its place in the set, so the folder is not
    // tried again; the grid entries never draw it.
    if (handle == 0)
        LOG_DEBUG("ImageManager: Skipped " + child.path + ": not a PNG or JPEG picture that could be read.");
    images.push_back(handle);
}

unsigned int ImageManager::getRandomImage() const {
    float r = Random::next();
    FATAL_CHECK(images.size() > 0);
    float u = (r + 1.0f) * 0.5f;
    // Taking 0.01 off the count keeps the index below it even for u = 1.
    int index = static_cast<int>(u * (static_cast<float>(images.size()) - 0.01f));
    return images[index];
}

void ImageManager::reset() {
    images.clear();
    complete = false;
}

#include "GlitchImage.h"

#include "Drawer.h"
#include "FatalCheck.h"
#include "ImageLoader.h"
#include "ImageManager.h"
#include "Log.h"
#include "PostProc.h"
#include "Random.h"

namespace {

// Pictures are taken to be 512 x 512: drawn centred, strip rows mapped to
// texture fractions by dividing by 512.
const float halfSize = 256.0f;
const float texelFraction = 0.001953125f;
const TwoFloats screenCentre(640.0f, 360.0f);

} // namespace

unsigned int GlitchImage::featherShader = 0;
int GlitchImage::loadingStagger = 0;

GlitchImage::GlitchImage() : image(0), featherIndex(0), position(), hide(0.0f), sectionHeights() {
    ++loadingStagger;
    imageCountdown = loadingStagger;
    sectionCountdown = 20 + static_cast<int>(Random::uniform() * 19.999f);
    cutSections(true);
}

void GlitchImage::setPosition(const TwoFloats& p) {
    position = p;
}

void GlitchImage::setHide(float h) {
    hide = h;
}

void GlitchImage::randomiseSections() {
    cutSections(Random::uniform() > 0.25f);
}

void GlitchImage::cutSections(bool shifted) {
    float top = 0.0f;
    for (int i = 0; i < numSections; ++i) {
        // The shift is drawn before the height; the order fixes which random
        // values go where.
        float shift = shifted ? Random::uniform() * 192.0f - 96.0f : 0.0f;
        float height = Random::uniform() * 64.0f;
        sectionPositions[i] = TwoFloats(shift, top);
        sectionHeights[i] = height;
        top += height;
    }
}

void GlitchImage::chooseImage() {
    image = ImageManager::getInstance()->getRandomImage();
    float count = static_cast<float>(PostProc::featherImages.size());
    featherIndex = static_cast<int>(Random::uniform() * (count - 0.001f));
}

void GlitchImage::loadFeathers(Drawer* d, bool usePostProcessing, const FilePath& dataDir) {
    FilePath feathersPath = dataDir.getChild("feathers");
    FATAL_CHECK(feathersPath.getNumChildren() > 0);
    // One reading of the folder, in its sorted order.
    for (const std::string& name : feathersPath.getSortedChildNames()) {
        const std::string path = feathersPath.getChild(name).path;
        unsigned int handle = ImageLoader::loadFileImage(d, path);
        // Kept as 0: an entry given this feather draws without a second image.
        if (handle == 0)
            LOG_DEBUG("GlitchImage: Skipped feather " + path +
                      ": not a PNG or JPEG picture that could be read.");
        PostProc::featherImages.push_back(handle);
    }
    if (usePostProcessing) {
        FilePath shaders = dataDir.getChild("shaders");
        featherShader =
            d->loadShader(shaders.getChild("feather.vert").path, shaders.getChild("feather.frag").path);
    }
}

void GlitchImage::draw(Drawer* d, bool usePostProcessing) {
    if (hide >= 1.0f)
        return;
    if (PostProc::featherImages.empty())
        loadFeathers(d, usePostProcessing, FilePath::getDataFilesDir());
    if (image == 0)
        chooseImage();
    if (--imageCountdown < 0) {
        imageCountdown = 30 + static_cast<int>(Random::uniform() * 29.999f);
        chooseImage();
    }
    if (--sectionCountdown < 0) {
        sectionCountdown = 20 + static_cast<int>(Random::uniform() * 19.999f);
        randomiseSections();
    }

    // A hidden entry slides outwards from the screen centre, up to 640 pixels
    // across and 360 down at full hide; one at the centre stays put.
    TwoFloats centre = position;
    if (hide > 0.0f) {
        TwoFloats away = TwoFloats(position.x - screenCentre.x, position.y - screenCentre.y).normal();
        centre = TwoFloats(position.x + 640.0f * hide * away.x, position.y + 360.0f * hide * away.y);
    }

    // A picture the drawer gave no handle for is never drawn.
    if (image == 0)
        return;
    if (usePostProcessing) {
        d->useSecondImage(PostProc::featherImages[featherIndex]);
        d->useShader(featherShader, 0.0f);
    }
    for (int i = 0; i < numSections; ++i) {
        const TwoFloats& section = sectionPositions[i];
        d->drawSubImage(image, centre.x - halfSize + section.x, centre.y - halfSize + section.y, 0.0f,
                        section.y * texelFraction, 1.0f, sectionHeights[i] * texelFraction, 1.0f, 1.0f, 1.0f,
                        1.0f, 1.0f, 1.0f - hide);
    }
    if (usePostProcessing) {
        d->useShader(0, 0.0f);
        d->useSecondImage(0);
    }
}

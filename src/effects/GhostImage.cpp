#include "GhostImage.h"

#include "Drawer.h"
#include "FilePath.h"
#include "ImageManager.h"
#include "PostProc.h"
#include "Random.h"

unsigned int GhostImage::shader = 0;

GhostImage::GhostImage() : image(0), featherImage(0), position() {
    // A random starting phase spreads the ghosts over their lives.
    phase = Random::uniform();
    choosePlace();
}

void GhostImage::choosePlace() {
    speed = Random::uniform() * 0.005f + 0.001f;
    position.x = Random::uniform() * 1024.0f + 128.0f;
    position.y = Random::uniform() * 464.0f + 128.0f;
}

void GhostImage::chooseImage() {
    float u = Random::uniform();
    image = ImageManager::getInstance()->getRandomImage();
    float count = static_cast<float>(PostProc::featherImages.size());
    int index = static_cast<int>(u * (count * 0.9999f));
    featherImage = PostProc::featherImages.empty() ? 0 : PostProc::featherImages[index];
}

void GhostImage::draw(Drawer* d, float alpha, bool usePostProcessing) {
    // Tried again on every draw while the drawer gives no program.
    if (usePostProcessing && shader == 0) {
        FilePath shaders = FilePath::getDataFilesDir().getChild("shaders");
        shader = d->loadShader(shaders.getChild("ghostFeather.vert").path,
                               shaders.getChild("ghostFeather.frag").path);
    }
    if (image == 0)
        chooseImage();
    phase += speed;
    if (phase >= 1.0f) {
        chooseImage();
        choosePlace();
        // Keeping the remainder keeps the pace even across lives.
        phase -= 1.0f;
    }

    float scale = phase * 1.5f + 0.5f;
    float envelope = phase < 0.5f ? 2.0f * phase : 1.0f - 2.0f * (phase - 0.5f);
    // A ghost is never more than a tenth opaque.
    float opacity = envelope * alpha * 0.1f;

    // A picture the drawer gave no handle for is never drawn.
    if (image == 0)
        return;
    if (usePostProcessing) {
        d->useSecondImage(featherImage);
        d->useShader(shader, 0.0f);
    }
    // Pictures are taken to be 512 x 512, so 256 x scale centres them.
    d->drawImage(image, position.x - 256.0f * scale, position.y - 256.0f * scale, scale, scale, 1.0f, 1.0f,
                 1.0f, opacity);
    if (usePostProcessing) {
        d->useShader(0, 0.0f);
        d->useSecondImage(0);
    }
}

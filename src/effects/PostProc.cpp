#include "PostProc.h"

#include "Drawer.h"
#include "FilePath.h"
#include "ImageLoader.h"
#include "NoiseImages.h"
#include "Random.h"

unsigned int PostProc::shader = 0;
unsigned int PostProc::images[4] = {0, 0, 0, 0};
std::vector<unsigned int> PostProc::featherImages;
bool PostProc::loaded = false;

void PostProc::load(Drawer* drawer, bool usePostProcessing) {
    if (loaded)
        return;
    images[0] = ImageLoader::loadCompiledImage(drawer, Images::noise1_jpg, Images::noise1_jpg_size);
    images[1] = ImageLoader::loadCompiledImage(drawer, Images::noise2_jpg, Images::noise2_jpg_size);
    images[2] = ImageLoader::loadCompiledImage(drawer, Images::noise3_jpg, Images::noise3_jpg_size);
    images[3] = ImageLoader::loadCompiledImage(drawer, Images::noise4_jpg, Images::noise4_jpg_size);
    if (usePostProcessing) {
        FilePath shaders = FilePath::getDataFilesDir().getChild("shaders");
        shader = drawer->loadShader(shaders.getChild("postProc.vert").path,
                                    shaders.getChild("postProc.frag").path);
    }
    // Once per run, whether or not the shader could be loaded.
    loaded = true;
}

void PostProc::reset() {
    shader = 0;
    for (unsigned int& image : images)
        image = 0;
    loaded = false;
}

void PostProc::finishFrame(Drawer* drawer, int& noiseIndex, int& noiseCountdown) {
    drawer->endFrameBufferDrawing();
    if (--noiseCountdown < 0) {
        noiseCountdown = 5;
        int next = noiseIndex;
        while (next == noiseIndex)
            next = static_cast<int>(Random::uniform() * 3.99f);
        noiseIndex = next;
    }
    drawer->useSecondImage(images[noiseIndex]);
    drawer->useShader(shader, 0.0f);
    if (unsigned int frame = drawer->getFrameBufferImage())
        drawer->drawImage(frame, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    drawer->useShader(0, 0.0f);
    drawer->useSecondImage(0);
}

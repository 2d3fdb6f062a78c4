#include "NoteScreen.h"

#include "Drawer.h"
#include "ImageLoader.h"
#include "Images.h"
#include "PostProc.h"

unsigned int NoteScreen::background = 0;
unsigned int NoteScreen::text = 0;
bool NoteScreen::resourcesLoaded = false;

NoteScreen::NoteScreen(Application* application)
    : GameState(application), framesLeft(320), noiseIndex(0), noiseCountdown(3), firstFrame(true),
      usePostProcessing(false) {}

void NoteScreen::resetResources() {
    resourcesLoaded = false;
    background = 0;
    text = 0;
    PostProc::reset();
}

void NoteScreen::loadResources(Drawer* drawer) {
    background = ImageLoader::loadCompiledImage(drawer, Images::noteback_png, Images::noteback_png_size);
    text = ImageLoader::loadCompiledImage(drawer, Images::note_png, Images::note_png_size);
    PostProc::load(drawer, usePostProcessing);
    // Once per run, whether or not the shader could be loaded.
    resourcesLoaded = true;
}

void NoteScreen::draw(Drawer* drawer) {
    if (firstFrame) {
        usePostProcessing = drawer->canSupport(Drawer::Shaders) && drawer->canSupport(Drawer::FrameBuffer);
        firstFrame = false;
    }
    if (!resourcesLoaded)
        loadResources(drawer);

    if (usePostProcessing)
        drawer->startFrameBufferDrawing();
    if (background) {
        drawer->drawImage(background, 0.0f, 0.0f, 0.625f, 0.703125f, 1.0f, 1.0f, 1.0f, 1.0f);
        drawer->drawImage(background, 1280.0f, 0.0f, -0.625f, 0.703125f, 1.0f, 1.0f, 1.0f, 1.0f);
    }
    if (text)
        drawer->drawImage(text, 128.0f, 232.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f);

    if (usePostProcessing)
        PostProc::finishFrame(drawer, noiseIndex, noiseCountdown);

    if (--framesLeft <= 0)
        nextState("GamePlay", "");
}

void NoteScreen::keyDown(const std::string&, const SDL_keysym&) {
    nextState("GamePlay", "");
}

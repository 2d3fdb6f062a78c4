#include "GamePlay.h"

#include "Application.h"
#include "Drawer.h"
#include "ImageLoader.h"
#include "ImageManager.h"
#include "Images.h"
#include "Log.h"
#include "PostProc.h"
#include "Random.h"
#include "Sounds.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

unsigned int GamePlay::titleImage = 0;
unsigned int GamePlay::ritualsImage = 0;
unsigned int GamePlay::lumenfallBackImage = 0;
unsigned int GamePlay::lumenfallSunImage = 0;
unsigned int GamePlay::lumenfallLinesImage = 0;
bool GamePlay::resourcesLoaded = false;

GamePlay::GamePlay(Application* application)
    : GameState(application), titleText(TwoFloats(24.0f, 32.0f)), ritualsText(TwoFloats(380.0f, 592.0f)),
      ghostAlpha(0.0f), mixCountdown(30), noiseIndex(0), noiseCountdown(3), sunPhase(0.0f),
      ritualsDelay(120), levels{0.0f, 0.0f, 0.0f}, rates{-0.0005f, -0.0005f, -0.0005f},
      words{"hack", "scandal", "paedophile"}, wordPositions{0, 0, 0}, finale(0.0f), stringLevel(0.0f),
      framesDrawn(0), wordLogged{false, false, false}, firstFrame(true), usePostProcessing(false),
      playMusic(!application || !application->getNoMusic()),
      exhibition(application && application->isExhibition()),
      exhibitionClock(exhibition ? application->getExhibitionHoldMs() : 0,
                      exhibition ? application->getExhibitionIdleMs() : 0, SDL_GetTicks()),
      returnRequested(false) {
    // Each entry is centred on its grid point; the 512-pixel pictures
    // overlap and overhang the screen on every side.
    for (int row = 0; row < Rows; ++row)
        for (int column = 0; column < Columns; ++column)
            glitchImages[row * Columns + column].setPosition(
                TwoFloats(column * 133.33333f - 66.666664f, row * 112.5f));
    mixUpIndices();
}

GamePlay::~GamePlay() {}

void GamePlay::resetResources() {
    resourcesLoaded = false;
    titleImage = 0;
    ritualsImage = 0;
    lumenfallBackImage = 0;
    lumenfallSunImage = 0;
    lumenfallLinesImage = 0;
}

void GamePlay::prepareNewCycle() {
    // The grid's entries take their first swaps from this count: the first
    // grid of a run swaps one entry a frame on frames 2 to 97, and so must
    // every later one. Nothing else class-wide differs between cycles: the
    // pictures, feathers, shaders and noise stay loaded for the whole run.
    GlitchImage::loadingStagger = 0;
}

void GamePlay::mixUpIndices() {
    int remaining[NumImages];
    int count = NumImages;
    for (int i = 0; i < NumImages; ++i)
        remaining[i] = i;
    for (int k = 0; k < NumImages; ++k) {
        // 0.99999 keeps the pick below the list length even when u is 1.
        int p = static_cast<int>(Random::uniform() * (static_cast<float>(count) * 0.99999f));
        indices[k] = remaining[p];
        for (int i = p; i < count - 1; ++i)
            remaining[i] = remaining[i + 1];
        --count;
    }
}

void GamePlay::keyDown(const std::string& action, const SDL_keysym& key) {
    if (exhibition)
        exhibitionClock.keyPressed(SDL_GetTicks());
    if (action == "Escape") {
        // In an exhibition only a held Escape quits, and the shell times it.
        if (!exhibition)
            quit();
        return;
    }
    char letter = ' ';
    if (key.sym >= SDLK_a && key.sym <= SDLK_z)
        letter = static_cast<char>('a' + (key.sym - SDLK_a));
    for (int w = 0; w < 3; ++w) {
        const std::string& word = words[w];
        if (levels[w] < 1.0f && word[wordPositions[w]] == letter) {
            rates[w] += 0.002f;
            wordPositions[w] = (wordPositions[w] + 1) % static_cast<int>(word.size());
            return;
        }
    }
}

void GamePlay::getAudio(float* buffer, int frames) {
    // Without music no recording is ever started, but the streamed sound's
    // output stage still scales the whole block, the effects included, as
    // the strings expect.
    streamingSound.getAudio(buffer, frames);
    strings.getAudio(buffer, frames);
}

void GamePlay::loadResources(Drawer* drawer) {
    titleImage = ImageLoader::loadCompiledImage(drawer, Images::title_png, Images::title_png_size);
    ritualsImage = ImageLoader::loadCompiledImage(drawer, Images::rituals_png, Images::rituals_png_size);
    lumenfallBackImage =
        ImageLoader::loadCompiledImage(drawer, Images::lumenfallback_jpg, Images::lumenfallback_jpg_size);
    lumenfallSunImage = ImageLoader::loadCompiledImage(drawer, Images::sun_png, Images::sun_png_size);
    lumenfallLinesImage =
        ImageLoader::loadCompiledImage(drawer, Images::lumenfalllines_png, Images::lumenfalllines_png_size);
    resourcesLoaded = true;
}

void GamePlay::updateLevels() {
    for (int w = 0; w < 3; ++w) {
        if (rates[w] > 0.0033f)
            rates[w] = 0.0033f;
        else if (rates[w] > -0.0005f)
            rates[w] -= 0.0001f;
        if (levels[w] < 1.0f)
            levels[w] += rates[w];
        if (levels[w] < 0.0f)
            levels[w] = 0.0f;
    }

    float sum = levels[0] + levels[1] + levels[2];
    if (sum > 2.7f && finale < 1.0f) {
        if (finale == 0.0f)
            LOG_DEBUG("GamePlay: finale started on frame " + std::to_string(framesDrawn));
        finale += 0.005f;
        if (finale >= 1.0f) {
            Sounds::getInstance()->playSound(Sounds::FinalSpeech);
            Sounds::getInstance()->playSound(Sounds::FinalSpeechForward);
            LOG_DEBUG("GamePlay: finale ended on frame " + std::to_string(framesDrawn) +
                      ", final recordings started");
            if (exhibition)
                exhibitionClock.finaleEnded(SDL_GetTicks(), finalRecordingsMs());
        }
        for (float& level : levels)
            if (level < 1.0f)
                level += 0.005f;
    } else if (finale >= 1.0f) {
        for (float& level : levels)
            level = 1.0f;
    }
}

void GamePlay::logProgress() {
    for (int w = 0; w < 3; ++w)
        if (levels[w] >= 1.0f && !wordLogged[w]) {
            wordLogged[w] = true;
            LOG_DEBUG("GamePlay: \"" + words[w] + "\" complete on frame " + std::to_string(framesDrawn));
        }
    // Every 100 frames: the frame rate and the state of play can be read
    // from the log.
    if (framesDrawn % 100 == 0) {
        char text[160];
        std::snprintf(text, sizeof(text), "GamePlay: frame %d at %u ms, levels %.3f %.3f %.3f, finale %.3f",
                      framesDrawn, static_cast<unsigned>(SDL_GetTicks()), levels[0], levels[1], levels[2],
                      finale);
        LOG_DEBUG(text);
    }
}

void GamePlay::draw(Drawer* drawer) {
    if (firstFrame) {
        usePostProcessing = drawer->canSupport(Drawer::Shaders) && drawer->canSupport(Drawer::FrameBuffer);
        firstFrame = false;
        if (exhibition)
            logCycleStart();
    }
    PostProc::load(drawer, usePostProcessing);
    if (!resourcesLoaded)
        loadResources(drawer);
    ImageManager::getInstance()->loadImages(drawer);

    if (--mixCountdown < 0) {
        mixCountdown = 90 + static_cast<int>(Random::uniform() * 29.99f);
        mixUpIndices();
    }

    ++framesDrawn;
    updateLevels();
    logProgress();
    if (playMusic)
        streamingSound.update(levels[0], levels[1], levels[2]);
    hideGrid();
    float s = advanceSun();
    float sunScale = (s * 64.0f + 740.0f) * 0.0009765625f;
    updateStringsAndGhosts(s);

    if (usePostProcessing)
        drawer->startFrameBufferDrawing();
    drawScene(drawer, sunScale);
    if (usePostProcessing)
        PostProc::finishFrame(drawer, noiseIndex, noiseCountdown);
    if (exhibition)
        returnWhenDue();
}

void GamePlay::logCycleStart() const {
    // What an exhibition's later cycles must share with the first: the
    // grid's first swaps one entry a frame, and the levels at 0.
    int first = glitchImages[0].getImageCountdown();
    int last = first;
    for (const GlitchImage& image : glitchImages) {
        first = std::min(first, image.getImageCountdown());
        last = std::max(last, image.getImageCountdown());
    }
    char text[160];
    std::snprintf(text, sizeof(text),
                  "GamePlay: first swaps of the grid on frames %d to %d, levels %.3f %.3f %.3f", first + 1,
                  last + 1, levels[0], levels[1], levels[2]);
    LOG_DEBUG(text);
}

Uint32 GamePlay::finalRecordingsMs() {
    const Sounds* sounds = Sounds::getInstance();
    size_t samples = std::max(sounds->getFile(Sounds::FinalSpeech).data.size(),
                              sounds->getFile(Sounds::FinalSpeechForward).data.size());
    return static_cast<Uint32>(samples * 1000 / 44100);
}

void GamePlay::returnWhenDue() {
    if (returnRequested)
        return;
    // The effect voices are asked about only once they have started: with
    // sound off, the effects are not loaded before the finale needs them.
    const bool sounding = finale >= 1.0f && Sounds::getInstance()->getPlayingCount() > 0;
    ExhibitionClock::Due due =
        exhibitionClock.check(SDL_GetTicks(), finale > 0.0f, application->isAudioRunning(), sounding);
    if (due == ExhibitionClock::Stay)
        return;
    returnRequested = true;
    application->returnToNoteScreen(due == ExhibitionClock::AfterFinale ? "after the finale" : "idle");
}

void GamePlay::hideGrid() {
    for (GlitchImage& image : glitchImages)
        image.setHide(levels[2]);
    for (int row = 1; row <= 6; ++row)
        for (int column = 2; column <= 9; ++column)
            glitchImages[row * Columns + column].setHide(levels[1]);
    for (int row = 2; row <= 5; ++row)
        for (int column = 4; column <= 7; ++column)
            glitchImages[row * Columns + column].setHide(levels[0]);
}

float GamePlay::advanceSun() {
    sunPhase += 0.033f;
    if (sunPhase > 6.283185f)
        sunPhase -= 6.283185f;
    return std::sin(sunPhase);
}

void GamePlay::updateStringsAndGhosts(float s) {
    float sum = levels[0] + levels[1] + levels[2];
    float excess = sum >= 2.5f ? (sum - 2.5f) * 2.0f : 0.0f;
    stringLevel = excess > 0.0f ? excess * 0.5f + s * 0.25f : 0.0f;
    strings.setLevel(stringLevel);

    if (levels[0] < 1.0f)
        ghostAlpha = 0.0f;
    else if (excess > 0.0f)
        ghostAlpha = 1.0f - excess;
    else if (ghostAlpha < 1.0f)
        ghostAlpha += 0.001f;
}

void GamePlay::drawScene(Drawer* drawer, float sunScale) {
    float f = finale;
    if (lumenfallBackImage) {
        drawer->drawImage(lumenfallBackImage, 0.0f, 0.0f, 0.625f, 0.703125f, f, 0.95f * f + 0.05f,
                          0.9f * f + 0.1f, 1.0f);
        drawer->drawImage(lumenfallBackImage, 1280.0f, 0.0f, -0.625f, 0.703125f, f, 0.95f * f + 0.05f,
                          0.9f * f + 0.1f, 1.0f);
    }
    if (lumenfallSunImage)
        drawer->drawImage(lumenfallSunImage, 640.0f - 512.0f * sunScale, 360.0f - 512.0f * sunScale, sunScale,
                          sunScale, 1.0f, 1.0f, 1.0f, f);
    if (lumenfallLinesImage)
        drawer->drawImage(lumenfallLinesImage, 0.0f, 0.0f, 1280.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f);

    if (ghostAlpha > 0.0f)
        for (GhostImage& ghost : ghosts)
            ghost.draw(drawer, ghostAlpha, usePostProcessing);

    for (int k = 0; k < NumImages; ++k)
        glitchImages[indices[k]].draw(drawer, usePostProcessing);

    titleText.draw(drawer, titleImage);
    if (ritualsDelay < 1)
        ritualsText.draw(drawer, ritualsImage);
    else
        --ritualsDelay;
}

#include "GlitchText.h"

#include "Drawer.h"
#include "Random.h"

#include <algorithm>

namespace {

// Each component in [-8, 8], x drawn first.
TwoFloats offsetDraw() {
    float x = Random::uniform() * 16.0f - 8.0f;
    float y = Random::uniform() * 16.0f - 8.0f;
    return TwoFloats(x, y);
}

} // namespace

GlitchText::GlitchText(const TwoFloats& position)
    : position(position), jitterCountdown(30), jitter(), split(false), splitCountdown(15), redOffset(),
      greenOffset(), blueOffset(), fade(0.0f), life(8.0f) {}

void GlitchText::draw(Drawer* d, unsigned int image) {
    if (life <= 0.0f)
        return;
    life -= 0.01f;

    // Fades in over 13 frames and out over the last 100.
    bool fadingIn = false;
    if (fade < 1.0f) {
        fade += 0.075f;
        fadingIn = fade < 1.0f;
    }
    float opacity = fadingIn ? fade : std::min(1.0f, life);

    if (--jitterCountdown < 0) {
        if (Random::uniform() > 0.5f)
            jitter = TwoFloats();
        else
            jitter = offsetDraw();
        jitterCountdown = static_cast<int>(Random::uniform() * 15.0f);
    }
    if (--splitCountdown < 0) {
        if (Random::uniform() > 0.5f) {
            split = false;
        } else {
            split = true;
            redOffset = offsetDraw();
            greenOffset = offsetDraw();
            blueOffset = offsetDraw();
        }
        splitCountdown = static_cast<int>(Random::uniform() * 30.0f);
    }

    // A picture the drawer gave no handle for is never drawn.
    if (image == 0)
        return;
    if (split) {
        // The copies add up: where all three overlap a white line is white again.
        d->setBlendMode(Drawer::Additive);
        d->drawImage(image, position.x + redOffset.x, position.y + redOffset.y, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f,
                     opacity);
        d->drawImage(image, position.x + greenOffset.x, position.y + greenOffset.y, 1.0f, 1.0f, 0.0f, 1.0f,
                     0.0f, opacity);
        d->drawImage(image, position.x + blueOffset.x, position.y + blueOffset.y, 1.0f, 1.0f, 0.0f, 0.0f,
                     1.0f, opacity);
        d->setBlendMode(Drawer::Normal);
    } else {
        // The plain line is drawn in black.
        d->drawImage(image, position.x + jitter.x, position.y + jitter.y, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f,
                     opacity);
    }
}

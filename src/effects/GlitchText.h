#pragma once

#include "TwoFloats.h"

class Drawer;

// One line of text, held as an image, drawn with a video-glitch look: it
// jumps by a few pixels now and then and at times splits into red, green and
// blue copies added together. It fades in, holds, fades out and is gone after
// about 800 drawn frames.
class GlitchText {
public:
    // position: top-left corner of the image on the 1280 x 720 screen.
    explicit GlitchText(const TwoFloats& position);

    // Advances and draws one frame with the given drawer image id.
    void draw(Drawer* d, unsigned int image);

private:
    TwoFloats position;  // top-left corner
    int jitterCountdown; // frames until the jump is decided again; 30
    TwoFloats jitter;    // jump offset of the plain drawing
    bool split;          // drawn as three colour copies
    int splitCountdown;  // frames until the split is decided again; 15
    TwoFloats redOffset; // offsets of the three copies
    TwoFloats greenOffset;
    TwoFloats blueOffset;
    float fade; // fade-in progress, 0 to 1 in 0.075 steps
    float life; // remaining life; 0.01 spent per drawn frame, from 8
};

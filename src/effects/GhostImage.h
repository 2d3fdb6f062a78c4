#pragma once

#include "TwoFloats.h"

class Drawer;

// One of the faint, feathered news pictures behind the play grid. Over each
// life it grows from half to twice the picture's size while its opacity rises
// and falls in a triangle; then it starts again elsewhere with a new picture.
class GhostImage {
public:
    GhostImage();

    // Advances and draws one frame; alpha is the play state's ghost opacity
    // (0 to 1). Relies on PostProc::featherImages being loaded already.
    void draw(Drawer* d, float alpha, bool usePostProcessing);

    static unsigned int shader; // ghost feather program; 0 until loaded

private:
    void chooseImage();
    void choosePlace();

    unsigned int image;        // current picture; 0 = none chosen yet
    unsigned int featherImage; // an id from PostProc::featherImages, not an index
    TwoFloats position;        // centre: x in [128, 1152], y in [128, 592]
    float phase;               // progress through the current life, 0 to 1
    float speed;               // phase per drawn frame, 0.001 to 0.006
};

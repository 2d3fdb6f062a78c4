#pragma once

#include "FilePath.h"
#include "TwoFloats.h"

class Drawer;

// One entry of the play state's grid: a 512 x 512 news picture cut into eight
// horizontal strips, each shifted sideways, that swaps its picture and re-cuts
// its strips every so often. setHide fades the entry and pushes it away from
// the screen centre. With post-processing each strip is drawn through the
// feather shader with a feather image as second texture.
class GlitchImage {
public:
    GlitchImage();

    void setPosition(const TwoFloats& p);
    // 0 = fully shown; 1 or more = not drawn and frozen.
    void setHide(float h);
    // Re-cuts the strips: shifted three times in four, otherwise in line.
    void randomiseSections();
    // Advances and draws one frame. The first draw of the run loads the
    // feather images from the data folder.
    void draw(Drawer* d, bool usePostProcessing);

    // Loads every entry of dataDir's "feathers" folder into
    // PostProc::featherImages and, with post-processing, the feather shader
    // from its "shaders" folder. Stops the program when there are no feathers.
    static void loadFeathers(Drawer* d, bool usePostProcessing, const FilePath& dataDir);

    // Frames until the picture is next swapped.
    int getImageCountdown() const { return imageCountdown; }

    static unsigned int featherShader; // 0 until loaded
    // Counts constructed entries; each takes the new count as the frames
    // until its first swap, so a new grid swaps one entry per frame. Never
    // reset by the game; tests set it to start as a fresh run does.
    static int loadingStagger;

private:
    static const int numSections = 8;

    void cutSections(bool shifted);
    void chooseImage();

    unsigned int image;                      // current picture; 0 = none chosen yet
    int featherIndex;                        // into PostProc::featherImages
    TwoFloats position;                      // centre on the 1280 x 720 screen
    float hide;                              // 0 shown .. 1 gone
    TwoFloats sectionPositions[numSections]; // x: sideways shift, y: top row, in pixels
    float sectionHeights[numSections];       // in pixels, 0 to 64
    int imageCountdown;                      // frames until the picture is swapped
    int sectionCountdown;                    // frames until the strips are re-cut
};

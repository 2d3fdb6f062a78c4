#pragma once

#include <vector>

class Drawer;

// The post-processing resources that the screens and effects share. They are
// loaded into the drawer once per run and never released; 0 names nothing.
class PostProc {
public:
    PostProc() = delete;

    static unsigned int shader;                     // noise pass program
    static unsigned int images[4];                  // the four noise pictures
    static std::vector<unsigned int> featherImages; // feather masks, filled by GlitchImage

    // Ends drawing into the frame buffer and draws its picture to the window
    // through the noise shader. The screen's noise picture (0..3) changes to
    // a different one whenever its countdown falls below 0, then every 6th frame.
    static void finishFrame(Drawer* drawer, int& noiseIndex, int& noiseCountdown);
};

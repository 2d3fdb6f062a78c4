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

    // Loads the four noise pictures and, when the drawer can post-process, the
    // noise shader, once per run; later calls do nothing. Both screens call it
    // on their first frame, since a key press can end the note screen before
    // it draws.
    static void load(Drawer* drawer, bool usePostProcessing);
    // Forgets the noise resources (the drawer keeps them), so that the next
    // load takes them again; for tests that give each case a new drawer.
    static void reset();

    // Ends drawing into the frame buffer and draws its picture to the window
    // through the noise shader. The screen's noise picture (0..3) changes to
    // a different one whenever its countdown falls below 0, then every 6th frame.
    static void finishFrame(Drawer* drawer, int& noiseIndex, int& noiseCountdown);

private:
    static bool loaded; // noise pictures (and shader) loaded
};

#pragma once

#include <vector>

// The post-processing resources that the screens and effects share. They are
// loaded into the drawer once per run and never released; 0 names nothing.
class PostProc {
public:
    PostProc() = delete;

    static unsigned int shader;                     // noise pass program
    static unsigned int images[4];                  // the four noise pictures
    static std::vector<unsigned int> featherImages; // feather masks, filled by GlitchImage
};

#pragma once

#include <vector>

// Drawing resources shared by the note screen and the play state: the noise
// post-processing shader, its four noise pictures and the feather masks.
// Loaded once per run; handles are 0 until loaded.
class PostProc {
public:
    static unsigned int shader;
    static unsigned int images[4];
    static std::vector<unsigned int> featherImages;
};

// Writes the well-formed but unusual recordings the bad-input tests put in a
// game's "sounds" folder: make_recordings FOLDER
#include "OggFiles.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_recordings FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int n = 44100 * 3;
    try {
        OggFiles::write(folder + "/mono.ogg", {OggFiles::sine(n, 330.0, 0.3f)});
        OggFiles::write(folder + "/stereo.ogg",
                        {OggFiles::sine(n, 440.0, 0.3f), OggFiles::sine(n, 550.0, 0.3f)});
        OggFiles::write(folder + "/rate22050.ogg", {OggFiles::sine(n / 2, 220.0, 0.3f)}, 22050);
        OggFiles::write(folder + "/rate48000.ogg", {OggFiles::sine(n, 660.0, 0.3f)}, 48000);
        OggFiles::writeChained(folder + "/chained.ogg", {OggFiles::sine(n / 3, 300.0, 0.3f)},
                               {OggFiles::sine(n / 3, 600.0, 0.3f), OggFiles::sine(n / 3, 700.0, 0.3f)});
        OggFiles::writeHeadersOnly(folder + "/noaudio.ogg", 1);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_recordings: %s\n", error.what());
        return 1;
    }
    return 0;
}

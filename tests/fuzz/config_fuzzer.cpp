// The configuration parser on arbitrary file contents: it must never read out
// of bounds, and never take a window size below 1.
#include "ConfigLoader.h"

#include "FuzzFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Holds the defaults; each input is parsed into a copy of it.
const ConfigLoader* defaults = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The constructor makes the configuration folder and its default file:
    // keep them in a throw-away folder, sized without asking an X server.
    static FuzzFile home("unused");
    setenv("XDG_CONFIG_HOME", home.folder.c_str(), 1);
    unsetenv("DISPLAY");
    defaults = new ConfigLoader();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConfigLoader config = *defaults;
    // The same stream reading as a file on disk, from memory. fmemopen in
    // read mode does not write to the buffer.
    std::FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!in)
        return 0;
    config.readStream(in);
    std::fclose(in);
    if (config.width < 1 || config.height < 1)
        std::abort();
    // A value longer than a line buffer is cut to what the buffer held.
    if (config.audioApi.size() > 124)
        std::abort();
    return 0;
}

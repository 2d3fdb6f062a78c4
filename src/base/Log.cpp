#include "Log.h"

#include <cstdio>

void Log::debug(const std::string& message, const char* file, int line) {
    plain("Debug: " + message + "  (" + file + "  line:" + std::to_string(line) + ")");
}

void Log::plain(const std::string& message) {
    // One write per line keeps lines whole when two threads log at once.
    std::string text = message + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

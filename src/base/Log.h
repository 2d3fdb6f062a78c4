#pragma once

#include <string>

// Diagnostic lines on standard output, one per call, flushed at once so that
// they keep their order with anything printed just before a crash or abort.
class Log {
public:
    // "Debug: " + message + "  (" + file + "  line:" + line + ")"
    static void debug(const std::string& message, const char* file, int line);
    // The message alone.
    static void plain(const std::string& message);
};

#define LOG_DEBUG(message) Log::debug((message), __FILE__, __LINE__)

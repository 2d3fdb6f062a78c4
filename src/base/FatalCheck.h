#pragma once

#include <cstdio>
#include <cstdlib>

// A check for a condition the program cannot go on without (an empty data
// folder, a drawing call with an unknown image). Unlike assert it stays in
// release builds: it prints the condition with its place and aborts.
#define FATAL_CHECK(condition)                                                                               \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fflush(stdout);                                                                             \
            std::fprintf(stderr, "%s:%u: failed assertion `%s'\n", __FILE__,                                 \
                         static_cast<unsigned>(__LINE__), #condition);                                       \
            std::fflush(stderr);                                                                             \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

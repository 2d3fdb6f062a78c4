#include "Exhibition.h"

#include "Log.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Seconds at the start of text into milliseconds; end is left after them.
bool readSeconds(const char* text, char** end, double& ms) {
    errno = 0;
    double seconds = std::strtod(text, end);
    if (*end == text || errno == ERANGE || !std::isfinite(seconds) || seconds < 0.0 || seconds > 86400.0)
        return false;
    ms = std::floor(seconds * 1000.0 + 0.5);
    return true;
}

} // namespace

void Exhibition::switchOn(const char* waits) {
    on = true;
    if (waits && *waits && !parseWaits(waits, holdMs, idleMs))
        Log::plain(std::string("Exhibition: LUMENFALL_EXHIBIT_SECONDS=") + waits +
                   " is not HOLD,IDLE in seconds; the waits stay 30 and 180 s.");
    char text[200];
    std::snprintf(text, sizeof(text),
                  "Exhibition: back to the note screen %g s after the final recordings and after %g s "
                  "without a key; hold Escape for 3 s to quit.",
                  holdMs / 1000.0, idleMs / 1000.0);
    Log::plain(text);
}

bool Exhibition::parseWaits(const std::string& text, Uint32& hold, Uint32& idle) {
    char* end = nullptr;
    double holdRead = 0.0;
    double idleRead = 0.0;
    if (!readSeconds(text.c_str(), &end, holdRead) || *end != ',')
        return false;
    const char* second = end + 1;
    if (!readSeconds(second, &end, idleRead) || *end != '\0' || idleRead <= 0.0)
        return false;
    hold = static_cast<Uint32>(holdRead);
    idle = static_cast<Uint32>(idleRead);
    return true;
}

void Exhibition::escapeDown(Uint32 now) {
    // A repeated press without a release in between (a driver's key repeat)
    // does not start the hold again.
    if (escapeIsDown)
        return;
    escapeIsDown = true;
    escapeDownAt = now;
}

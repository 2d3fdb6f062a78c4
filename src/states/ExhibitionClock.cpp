#include "ExhibitionClock.h"

ExhibitionClock::ExhibitionClock(Uint32 holdMs, Uint32 idleMs, Uint32 now)
    : holdMs(holdMs), idleMs(idleMs), lastKey(now) {}

void ExhibitionClock::finaleEnded(Uint32 now, Uint32 length) {
    ended = true;
    endedAt = now;
    lengthMs = length;
}

ExhibitionClock::Due ExhibitionClock::check(Uint32 now, bool finaleBegun, bool heard, bool sounding) {
    if (!ended) {
        // From the finale on, its own end decides: a visitor who typed the
        // scene clear is not sent back while it turns red.
        return !finaleBegun && now - lastKey >= idleMs ? Idle : Stay;
    }
    if (!quiet) {
        // Heard, the voices end when the audio thread has played them out,
        // however late it runs. Not heard (no sound, no device, a stream
        // that died), they end when they would have.
        if (heard && !sounding) {
            quiet = true;
            quietAt = now;
        } else if (!heard && now - endedAt >= lengthMs) {
            quiet = true;
            quietAt = endedAt + lengthMs;
        }
    }
    return quiet && now - quietAt >= holdMs ? AfterFinale : Stay;
}

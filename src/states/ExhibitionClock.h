#pragma once

#include <SDL.h>

// When a play state of an exhibition hands back to the note screen: once
// the final recordings have ended and the finished scene has held for a
// while, or when nobody has pressed a key for long enough before the
// finale began. Times are SDL ticks in ms, passed in by the play state, and
// may wrap around.
class ExhibitionClock {
public:
    enum Due { Stay, AfterFinale, Idle };

    // holdMs: the finished scene after the final recordings; idleMs: play
    // without a key. now: the play state's start.
    ExhibitionClock(Uint32 holdMs, Uint32 idleMs, Uint32 now);

    void keyPressed(Uint32 now) { lastKey = now; }
    // The final recordings started at now; where nothing plays them, they
    // count as ended after lengthMs.
    void finaleEnded(Uint32 now, Uint32 lengthMs);
    // Once a frame. heard: audio output runs, so the recordings end when
    // their voices do; sounding: voices still play.
    Due check(Uint32 now, bool finaleBegun, bool heard, bool sounding);

private:
    Uint32 holdMs;
    Uint32 idleMs;
    Uint32 lastKey;      // the play state's start, or the last key since
    bool ended = false;  // the final recordings have started
    Uint32 endedAt = 0;  // when they started
    Uint32 lengthMs = 0; // the longer one's length
    bool quiet = false;  // they have ended
    Uint32 quietAt = 0;  // when they ended
};

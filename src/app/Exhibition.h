#pragma once

#include <SDL.h>
#include <string>

// The shell's side of exhibition mode (--exhibit, or "ex 1" in the
// configuration file), for a kiosk that runs the piece all day unattended:
// the waits after which a play state hands back to the note screen, the
// count of play cycles, and the Escape hold that alone quits. There is no
// key repeat, so the hold is timed from the key going down; the timing
// belongs to the shell, so that it runs on across a state switch.
class Exhibition {
public:
    static constexpr Uint32 DefaultHoldMs = 30000;  // the finished scene, after the final recordings
    static constexpr Uint32 DefaultIdleMs = 180000; // play without a key pressed
    static constexpr Uint32 QuitHoldMs = 3000;      // Escape held down this long quits

    // Switches the mode on. waits: "HOLD,IDLE" in seconds, from the
    // environment's LUMENFALL_EXHIBIT_SECONDS, for tests; null or unreadable
    // keeps the defaults (the latter with a line saying so).
    void switchOn(const char* waits);
    bool isOn() const { return on; }
    Uint32 getHoldMs() const { return holdMs; }
    Uint32 getIdleMs() const { return idleMs; }

    // Reads "HOLD,IDLE" (seconds, fractions allowed; HOLD 0 or more, IDLE
    // above 0) into milliseconds; false, and nothing changed, otherwise.
    static bool parseWaits(const std::string& text, Uint32& hold, Uint32& idle);

    // Escape went down or came up; now in SDL ticks (ms).
    void escapeDown(Uint32 now);
    void escapeUp() { escapeIsDown = false; }
    // Escape has been down for QuitHoldMs by now.
    bool escapeHeld(Uint32 now) const { return escapeIsDown && now - escapeDownAt >= QuitHoldMs; }

    // A play state begins; returns its cycle's number, counted from 1.
    int beginCycle() { return ++cycle; }
    int getCycle() const { return cycle; }

private:
    bool on = false;
    Uint32 holdMs = DefaultHoldMs;
    Uint32 idleMs = DefaultIdleMs;
    bool escapeIsDown = false;
    Uint32 escapeDownAt = 0; // ticks at which Escape went down
    int cycle = 0;           // play states begun so far
};

#pragma once

// The desktop size, asked before SDL starts and without opening a window: the
// primary monitor of the X display (XRandR), the whole X screen when RandR
// cannot say, and 1024 x 768 when there is no display to ask.
class ScreenResolution {
public:
    static int getScreenWidth();
    static int getScreenHeight();
    // Whether the X display named by DISPLAY can be opened.
    static bool displayOpens();
    // The primary monitor's place in RandR's list of active monitors, which
    // is also its Xinerama screen number; -1 when RandR cannot say.
    static int primaryMonitorIndex();

private:
    struct Desktop {
        bool opened;
        int width;
        int height;
        int primaryIndex;
    };
    // Asks the X server once per display name; later calls reuse the answer.
    static const Desktop& desktop();
    static Desktop query();
};

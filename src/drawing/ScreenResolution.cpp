#include "ScreenResolution.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>
#include <string>

int ScreenResolution::getScreenWidth() {
    return desktop().width;
}

int ScreenResolution::getScreenHeight() {
    return desktop().height;
}

bool ScreenResolution::displayOpens() {
    return desktop().opened;
}

int ScreenResolution::primaryMonitorIndex() {
    return desktop().primaryIndex;
}

const ScreenResolution::Desktop& ScreenResolution::desktop() {
    // One question to the X server per display name: the start asks for the
    // size, the primary monitor and whether the display opens at all.
    static Desktop answer;
    static std::string askedName;
    static bool asked = false;
    const char* name = std::getenv("DISPLAY");
    const std::string current = name ? name : "";
    if (!asked || current != askedName) {
        answer = query();
        askedName = current;
        asked = true;
    }
    return answer;
}

namespace {

// RandR 1.5 lists monitors directly and marks the primary one. A screen that
// spans several monitors must not be taken for one big desktop.
bool primaryFromMonitors(Display* display, Window root, int& width, int& height, int& primaryIndex) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &count);
    if (!monitors)
        return false;
    for (int i = 0; i < count && primaryIndex < 0; ++i)
        if (monitors[i].primary)
            primaryIndex = i;
    const int chosen = primaryIndex >= 0 ? primaryIndex : (count > 0 ? 0 : -1);
    if (chosen >= 0) {
        width = monitors[chosen].width;
        height = monitors[chosen].height;
    }
    XRRFreeMonitors(monitors);
    return chosen >= 0 && width > 0 && height > 0;
}

// RandR 1.3: the primary output's CRTC gives the monitor's mode size.
bool primaryFromOutput(Display* display, Window root, int& width, int& height) {
    RROutput primary = XRRGetOutputPrimary(display, root);
    if (primary == None)
        return false;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources)
        return false;
    bool found = false;
    XRROutputInfo* output = XRRGetOutputInfo(display, resources, primary);
    if (output && output->crtc != None) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
        if (crtc && crtc->width > 0 && crtc->height > 0) {
            width = static_cast<int>(crtc->width);
            height = static_cast<int>(crtc->height);
            found = true;
        }
        if (crtc)
            XRRFreeCrtcInfo(crtc);
    }
    if (output)
        XRRFreeOutputInfo(output);
    XRRFreeScreenResources(resources);
    return found;
}

} // namespace

ScreenResolution::Desktop ScreenResolution::query() {
    Desktop desktop{false, 1024, 768, -1};
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return desktop;
    desktop.opened = true;
    int screen = DefaultScreen(display);
    Window root = RootWindow(display, screen);
    int width = 0;
    int height = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    bool found = false;
    if (XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor)) {
        if (major > 1 || (major == 1 && minor >= 5))
            found = primaryFromMonitors(display, root, width, height, desktop.primaryIndex);
        if (!found && (major > 1 || (major == 1 && minor >= 3)))
            found = primaryFromOutput(display, root, width, height);
    }
    if (!found) {
        width = DisplayWidth(display, screen);
        height = DisplayHeight(display, screen);
    }
    XCloseDisplay(display);
    if (width > 0 && height > 0) {
        desktop.width = width;
        desktop.height = height;
    }
    return desktop;
}

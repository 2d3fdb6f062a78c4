#include "ScreenResolution.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

int ScreenResolution::getScreenWidth() {
    return query().width;
}

int ScreenResolution::getScreenHeight() {
    return query().height;
}

namespace {

// RandR 1.5 lists monitors directly and marks the primary one. A screen that
// spans several monitors must not be taken for one big desktop.
bool primaryFromMonitors(Display* display, Window root, int& width, int& height) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &count);
    if (!monitors)
        return false;
    int chosen = -1;
    for (int i = 0; i < count; ++i) {
        if (monitors[i].primary) {
            chosen = i;
            break;
        }
    }
    if (chosen < 0 && count > 0)
        chosen = 0;
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

bool ScreenResolution::displayOpens() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

int ScreenResolution::primaryMonitorIndex() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return -1;
    int chosen = -1;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
        for (int i = 0; monitors && i < count && chosen < 0; ++i)
            if (monitors[i].primary)
                chosen = i;
        if (monitors)
            XRRFreeMonitors(monitors);
    }
    XCloseDisplay(display);
    return chosen;
}

ScreenResolution::Size ScreenResolution::query() {
    Size size{1024, 768};
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return size;
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
            found = primaryFromMonitors(display, root, width, height);
        if (!found && (major > 1 || (major == 1 && minor >= 3)))
            found = primaryFromOutput(display, root, width, height);
    }
    if (!found) {
        width = DisplayWidth(display, screen);
        height = DisplayHeight(display, screen);
    }
    XCloseDisplay(display);
    if (width > 0 && height > 0)
        size = Size{width, height};
    return size;
}

#pragma once

#include <irrlicht.h>

// The engine's window as the X server sees it. Xlib ends the process with an error report
// of its own when the connection to the server breaks (the window killed from outside, the
// server gone) and when a request names a window that another client destroyed; here the
// first ends the program with a message, and the second is noticed so that the frame loop
// ends as on Escape.
namespace xwindow {

constexpr const char* kClosedMessage = "ferrox: the window was closed from outside\n";

// Takes over Xlib's error handling for the device's window; does nothing for a device that
// has no X window.
void watch(irr::IrrlichtDevice* device);

// True once the watched window was destroyed from outside. Drawing into a destroyed window
// fails and tells so; with `ask`, for the times nothing is drawn, the server is asked
// whether the window still exists, a round trip.
bool gone(bool ask = false);

}  // namespace xwindow

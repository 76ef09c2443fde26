#include "app/xwindow.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

namespace xwindow {
namespace {

Display* display = nullptr;
Window window = 0;
bool destroyed = false;
int glxOpcode = 0;  // the major opcode of the server's OpenGL requests
XErrorHandler previousErrorHandler = nullptr;

// A broken connection: Xlib ends the process when this returns, and no request can reach
// the server any more, so nothing is left to release.
int onLostConnection(Display*) {
  std::fputs(kClosedMessage, stderr);
  std::fflush(stderr);
  std::_Exit(0);
}

// Requests on the window and its OpenGL drawable fail once another client has destroyed it,
// the engine's own included as it shuts down. A running game makes no failing request of
// the kind, so such a failure means the window is gone; any other error is reported as
// Xlib would.
int onError(Display* d, XErrorEvent* error) {
  const bool aboutTheWindow = error->resourceid == window || error->error_code == BadWindow ||
                              error->error_code == BadDrawable ||
                              (glxOpcode != 0 && error->request_code == glxOpcode);
  if (destroyed || aboutTheWindow) {
    destroyed = true;
    return 0;
  }
  return previousErrorHandler != nullptr ? previousErrorHandler(d, error) : 0;
}

}  // namespace

void watch(irr::IrrlichtDevice* device) {
  const irr::video::SExposedVideoData& data = device->getVideoDriver()->getExposedVideoData();
  if (device->getVideoDriver()->getDriverType() != irr::video::EDT_OPENGL ||
      data.OpenGLLinux.X11Display == nullptr)
    return;
  display = static_cast<Display*>(data.OpenGLLinux.X11Display);
  window = data.OpenGLLinux.X11Window;
  int firstEvent = 0, firstError = 0;
  if (!XQueryExtension(display, "GLX", &glxOpcode, &firstEvent, &firstError)) glxOpcode = 0;
  XSetIOErrorHandler(onLostConnection);
  previousErrorHandler = XSetErrorHandler(onError);
}

bool gone(bool ask) {
  if (display == nullptr || destroyed || !ask) return destroyed;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0) destroyed = true;
  return destroyed;
}

}  // namespace xwindow

// send_close WINDOW-ID: asks an X11 window to close as a window manager's close box does
// (WM_DELETE_WINDOW), for the end-to-end test, which runs without a window manager.

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
  Display* display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
  if (!display) {
    std::fprintf(stderr, argc == 2 ? "send_close: cannot open the display\n" : "usage: send_close WINDOW-ID\n");
    return argc == 2 ? 1 : 2;
  }
  const Window target = std::strtoul(argv[1], nullptr, 0);
  XEvent event{};
  event.xclient = {ClientMessage, 0, False, display, target, XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, target, False, NoEventMask, &event);
  XCloseDisplay(display);
  return sent ? 0 : 1;
}

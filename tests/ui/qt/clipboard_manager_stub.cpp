// clipboard_manager_stub FILE: a clipboard manager for the end-to-end test,
// as much of one as a program that ends needs: it owns CLIPBOARD_MANAGER
// and, when asked to save the clipboard (SAVE_TARGETS), fetches its text as
// UTF8_STRING into FILE before it answers. Prints "ready" once it owns the
// selection. Texts larger than one property (INCR) are not taken.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>

namespace {

// Waits for the SelectionNotify of a conversion this window asked for.
bool Fetch(Display* display, Window window, Atom clipboard, Atom utf8, Atom property, std::FILE* out) {
  XConvertSelection(display, clipboard, utf8, property, window, CurrentTime);
  XEvent event;
  do {
    XNextEvent(display, &event);
  } while (event.type != SelectionNotify || event.xselection.requestor != window);
  if (event.xselection.property == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1 << 24, True, AnyPropertyType, &type, &format, &count, &after,
                         &data) != Success ||
      type != utf8) {
    return false;
  }
  std::fwrite(data, 1, count, out);
  XFree(data);
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  Display* display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
  if (!display) {
    std::fprintf(stderr, argc == 2 ? "clipboard_manager_stub: cannot open the display\n"
                                   : "usage: clipboard_manager_stub FILE\n");
    return argc == 2 ? 1 : 2;
  }
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  const Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
  const Atom saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
  const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const Atom property = XInternAtom(display, "VEXARO_TEST_SAVED", False);
  XSetSelectionOwner(display, manager, window, CurrentTime);
  if (XGetSelectionOwner(display, manager) != window) {
    std::fprintf(stderr, "clipboard_manager_stub: another clipboard manager runs\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != SelectionRequest) continue;
    const XSelectionRequestEvent request = event.xselectionrequest;
    bool saved = false;
    if (request.selection == manager && request.target == saveTargets) {
      if (std::FILE* out = std::fopen(argv[1], "wb")) {
        saved = Fetch(display, window, clipboard, utf8, property, out);
        std::fclose(out);
      }
    }
    XEvent reply{};
    reply.xselection = {SelectionNotify,
                        0,
                        True,
                        display,
                        request.requestor,
                        request.selection,
                        request.target,
                        saved ? request.property : None,
                        request.time};
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
  }
}

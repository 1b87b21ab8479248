// clipboard_manager_stub FILE: owns CLIPBOARD_MANAGER and, asked to SAVE_TARGETS, writes the clipboard's
// UTF8_STRING (no INCR) to FILE before answering; prints "ready" once it owns the selection.

#include <X11/Xlib.h>

#include <cstdio>

int main(int argc, char* argv[]) {
  Display* d = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
  if (!d) {
    std::fprintf(stderr, argc == 2 ? "clipboard_manager_stub: cannot open the display\n"
                                   : "usage: clipboard_manager_stub FILE\n");
    return argc == 2 ? 1 : 2;
  }
  auto atom = [d](const char* name) { return XInternAtom(d, name, False); };
  const Atom manager = atom("CLIPBOARD_MANAGER"), utf8 = atom("UTF8_STRING"), saved = atom("VEXARO_TEST_SAVED");
  const Window self = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(d, manager, self, CurrentTime);
  if (XGetSelectionOwner(d, manager) != self) {
    std::fprintf(stderr, "clipboard_manager_stub: another clipboard manager runs\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  for (XEvent event;;) {
    XNextEvent(d, &event);
    if (event.type != SelectionRequest) continue;
    const XSelectionRequestEvent r = event.xselectionrequest;
    bool ok = false;
    std::FILE* out = r.selection == manager && r.target == atom("SAVE_TARGETS") ? std::fopen(argv[1], "wb") : nullptr;
    if (out) {
      XConvertSelection(d, atom("CLIPBOARD"), utf8, saved, self, CurrentTime);
      do XNextEvent(d, &event);
      while (event.type != SelectionNotify || event.xselection.requestor != self);
      Atom type = None;
      int format = 0;
      unsigned long count = 0, after = 0;
      unsigned char* data = nullptr;
      ok = event.xselection.property != None &&
           XGetWindowProperty(d, self, saved, 0, 1 << 24, True, AnyPropertyType, &type, &format, &count, &after,
                              &data) == Success &&
           type == utf8 && std::fwrite(data, 1, count, out) == count;
      if (data) XFree(data);
      std::fclose(out);
    }
    XEvent reply{};
    reply.xselection = {SelectionNotify,        0,     True, d, r.requestor, r.selection, r.target,
                        ok ? r.property : None, r.time};
    XSendEvent(d, r.requestor, False, NoEventMask, &reply);
    XFlush(d);
  }
}

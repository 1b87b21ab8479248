#pragma once
// The clipboard's text after the window program has ended. On X11 the
// program that put text on the clipboard is the one that hands it to the
// programs that paste: when it ends, the text is gone unless a clipboard
// manager keeps it. Where there is none, a background copy of the program
// serves the text until another program takes the clipboard, then ends.

#include <string_view>

namespace vexaro::platform {

// The hidden first argument that starts the program as that background
// process.
inline constexpr std::string_view kServeClipboardOption = "--serve-clipboard";

enum class ClipboardKept {
  NotOwned,  // another program holds the clipboard, or it is empty
  Manager,   // the desktop's clipboard manager takes the text as we end
  Server,    // a background process serves the text now
  Lost,      // no way to keep it here (Wayland without Xwayland), or the
             // background process could not be started
};

// Called once the event loop has ended and before the application object
// goes. Blocks until the background process owns the clipboard (a few
// seconds at most).
ClipboardKept KeepClipboardAfterExit();

// The background process's main(): reads the text from standard input, takes
// the clipboard with it, writes one byte to standard output once it owns it,
// and serves it until another program takes the clipboard. Returns the exit
// status: 0 after the clipboard was taken over, 1 when it could not be had.
int ServeClipboard(int argc, char** argv);

}  // namespace vexaro::platform

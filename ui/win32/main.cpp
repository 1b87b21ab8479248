// The Windows window: one window on one thread; the listing yields to the
// message loop while it works.

#include "platform/win32/windows_win32.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/absolute_path.h"
#include "platform/system.h"
#include "platform/win32/convert_win32.h"
#include "platform/win32/win32_facilities.h"
#include "ui/main_window.h"
#include "ui/win32/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // The shell's folder dialog needs COM in a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  int exitCode = 0;
  {
    using namespace vexaro;
    ui::win32::MainWindow window(instance);
    if (window.hwnd() == nullptr) return 1;
    const auto system = platform::MakeHostSystem();
    platform::win32::Win32Clipboard clipboard(window.hwnd());
    platform::win32::Win32MessageDialog messages(window.hwnd());
    platform::win32::Win32FolderPicker picker(window.hwnd());
    platform::win32::Win32PathFitter fitter(window.control(ui::win32::kLabel1), system->conventions().separator);
    ui::MainWindowLogic logic(window, {*system, clipboard, messages, picker, fitter});
    window.Attach(logic);

    logic.Form_Load();
    // Folders dropped on the program or its shortcut in Explorer, or sent to
    // it, arrive as arguments; the wide command line keeps every name.
    int count = 0;
    if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
      std::vector<std::string> folders;
      for (int i = 1; i < count; ++i) folders.push_back(platform::win32::Narrow(args[i]));
      LocalFree(args);
      if (!folders.empty()) logic.AddFolders(folders, platform::CurrentFolder().path);
    }
    window.Show(showCommand);
    exitCode = window.Run();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}

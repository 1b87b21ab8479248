#include "platform/win32/windows_win32.h"

#include <shlobj.h>

#include "platform/win32/convert_win32.h"
#include "platform/text.h"
#include "platform/win32/win32_facilities.h"

namespace vexaro::platform::win32 {

std::optional<std::string> Win32FolderPicker::PickFolder(std::string_view prompt) {
  const std::wstring title = Widen(prompt);
  // The display name is not used; the buffer is there because some shells
  // write it whether it was asked for or not.
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW request{};
  request.hwndOwner = owner_;
  request.pidlRoot = nullptr;  // the whole namespace
  request.pszDisplayName = displayName;
  request.lpszTitle = title.c_str();
  request.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&request);
  if (chosen == nullptr) return std::nullopt;  // cancelled

  // Room for the longest path the system has, not MAX_PATH: a folder deep
  // in a tree is chosen as readily as any other.
  std::wstring path(32768, L'\0');
  const bool ok = SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT) != 0;
  CoTaskMemFree(chosen);
  if (!ok) return std::nullopt;
  const std::wstring_view chosenPath = CutAtChar(std::wstring_view(path), L'\0');
  if (chosenPath.empty()) return std::nullopt;
  return Narrow(chosenPath);
}

}  // namespace vexaro::platform::win32

// The resources of Vexaro.exe as the system reads them.
#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace vexaro::ui::win32 {
namespace {

TEST(Resources, IconVersionRecordAndManifest) {
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  program = program.substr(0, program.rfind(L'\\')) + L"\\..\\..\\ui\\win32\\Vexaro.exe";
  HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(module);
  const auto resource = [&](const wchar_t* type) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), type);
    return found ? std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found))
                 : std::string();
  };
  // The icon group: reserved, type 1, then the count of its images.
  const std::string icons = resource(RT_GROUP_ICON);
  ASSERT_GE(icons.size(), 6u);
  EXPECT_EQ(icons[4] | icons[5] << 8, 3) << "images in the icon";
  const std::string manifest = resource(RT_MANIFEST);
  for (const char* part : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "PerMonitorV2",
                           ">true</longPathAware>", "asInvoker"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  FreeLibrary(module);

  std::string record(GetFileVersionInfoSizeW(program.c_str(), nullptr), '\0');
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  // Japanese, Unicode.
  for (const auto& [key, value] : {std::pair{L"ProductName", L"Vexaro 28"}, std::pair{L"OriginalFilename", L"Vexaro.exe"},
                                   std::pair{L"FileVersion", L"1.00"}, std::pair{L"ProductVersion", L"1.00"}}) {
    wchar_t* found = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + key;
    ASSERT_TRUE(VerQueryValueW(record.data(), query.c_str(), reinterpret_cast<void**>(&found), &length));
    EXPECT_STREQ(found, value);
  }
}

}  // namespace
}  // namespace vexaro::ui::win32

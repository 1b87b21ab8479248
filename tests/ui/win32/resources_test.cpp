// The resources of Vexaro.exe as the system reads them; scripts/test.d/40-windows.sh checks the file version,
// the file name and the manifest's processor and long paths of both widths.
#include "platform/win32/windows_win32.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vexaro::ui::win32 {
namespace {

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    program.resize(32768);
    program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
    program = program.substr(0, program.rfind(L'\\')) + L"\\..\\..\\..\\ui\\win32\\Vexaro.exe";
    module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
  std::string Resource(const wchar_t* type) const {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), type);
    return found ? std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found))
                 : std::string();
  }

  std::wstring program;
  HMODULE module = nullptr;
};

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
  reinterpret_cast<std::set<WORD>*>(languages)->insert(language);
  return TRUE;
}

BOOL CALLBACK AddLanguagesOfName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR languages) {
  return EnumResourceLanguagesW(module, type, name, &AddLanguage, languages), TRUE;
}

BOOL CALLBACK AddLanguagesOfType(HMODULE module, LPWSTR type, LONG_PTR languages) {
  return EnumResourceNamesW(module, type, &AddLanguagesOfName, languages), TRUE;
}

TEST_F(Resources, IconManifestAndVersionRecordAllInJapanese) {
  const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
  // The icon group: reserved, type 1, the count of its images, then 14 bytes for each, its id last.
  const std::string icons = Resource(RT_GROUP_ICON);
  ASSERT_EQ(icons.size(), 6u + 3 * 14) << "three images in the icon";
  EXPECT_EQ(icons[4] | icons[5] << 8, 3);
  for (std::size_t at = 6 + 12; at < icons.size(); at += 14) {
    const WORD id = static_cast<unsigned char>(icons[at]) | static_cast<unsigned char>(icons[at + 1]) << 8;
    EXPECT_TRUE(FindResourceExW(module, RT_ICON, MAKEINTRESOURCEW(id), kJapanese)) << id;
  }
  // The common controls of version 6, for any processor.
  const std::string manifest = Resource(RT_MANIFEST);
  const std::size_t controls = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
  ASSERT_NE(controls, std::string::npos);
  const std::string dependency = manifest.substr(controls, manifest.find("/>", controls) - controls);
  for (const char* part : {"version=\"6.0.0.0\"", "processorArchitecture=\"*\""}) {
    EXPECT_NE(dependency.find(part), std::string::npos) << part;
  }
  for (const char* part : {"PerMonitorV2", "asInvoker"}) EXPECT_NE(manifest.find(part), std::string::npos) << part;

  std::string record(GetFileVersionInfoSizeW(program.c_str(), nullptr), '\0');
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  // One language, Japanese, in Unicode (1200).
  WORD* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 2 * sizeof(WORD));
  EXPECT_TRUE(translation[0] == kJapanese && translation[1] == 1200) << translation[0] << " " << translation[1];
  for (const auto& [key, value] : {std::pair{L"ProductName", L"Vexaro 28"}, std::pair{L"FileVersion", L"1.00"},
                                   std::pair{L"ProductVersion", L"1.00"}}) {
    wchar_t* found = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + key;
    ASSERT_TRUE(VerQueryValueW(record.data(), query.c_str(), reinterpret_cast<void**>(&found), &length));
    EXPECT_STREQ(found, value);
  }
  // Every resource is tagged with that language, and none with another.
  std::set<WORD> languages;
  EnumResourceTypesW(module, &AddLanguagesOfType, reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::set<WORD>{kJapanese});
  EXPECT_TRUE(FindResourceExW(module, RT_MANIFEST, MAKEINTRESOURCEW(1), kJapanese));
  EXPECT_FALSE(FindResourceExW(module, RT_MANIFEST, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
}

}  // namespace
}  // namespace vexaro::ui::win32

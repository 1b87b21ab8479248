// The resources of Vexaro.exe as the system reads them.
#include "platform/win32/windows_win32.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vexaro::ui::win32 {
namespace {

// The processor this test is built for, as the compiler knows it: the
// program beside it is built with the same tools.
#if defined(__aarch64__) || defined(_M_ARM64)
constexpr char kArchitecture[] = "arm64";
#elif defined(__x86_64__) || defined(_M_X64)
constexpr char kArchitecture[] = "amd64";
#else
constexpr char kArchitecture[] = "x86";
#endif

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

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
  std::string VersionRecord() const {
    std::string record(GetFileVersionInfoSizeW(program.c_str(), nullptr), '\0');
    EXPECT_TRUE(GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    return record;
  }

  std::wstring program;
  HMODULE module = nullptr;
};

// The value of `attribute` in the first element that starts with `element`.
std::string Attribute(const std::string& xml, const std::string& element, const std::string& attribute) {
  const std::size_t start = xml.find(element);
  if (start == std::string::npos) return "(no " + element + ")";
  const std::size_t end = xml.find('>', start);
  const std::string key = " " + attribute + "=\"";
  const std::size_t at = xml.find(key, start);
  if (at == std::string::npos || at > end) return "(no " + attribute + ")";
  const std::size_t value = at + key.size();
  return xml.substr(value, xml.find('"', value) - value);
}

TEST_F(Resources, IconVersionRecordAndManifest) {
  // The icon group: reserved, type 1, then the count of its images.
  const std::string icons = Resource(RT_GROUP_ICON);
  ASSERT_GE(icons.size(), 6u);
  EXPECT_EQ(icons[4] | icons[5] << 8, 3) << "images in the icon";
  const std::string manifest = Resource(RT_MANIFEST);
  for (const char* part : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "PerMonitorV2",
                           ">true</longPathAware>", "asInvoker"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  // The program's own identity names the processor it was built for; the
  // common controls it asks for come for any.
  EXPECT_EQ(Attribute(manifest, "<assemblyIdentity type=\"win32\" name=\"Vexaro\"", "processorArchitecture"),
            kArchitecture);
  EXPECT_EQ(Attribute(manifest, "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\"",
                      "processorArchitecture"),
            "*");

  const std::string record = VersionRecord();
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  // Japanese, Unicode.
  for (const auto& [key, value] :
       {std::pair{L"ProductName", L"Vexaro 28"}, std::pair{L"OriginalFilename", L"Vexaro.exe"},
        std::pair{L"FileVersion", L"1.00"}, std::pair{L"ProductVersion", L"1.00"}}) {
    wchar_t* found = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + key;
    ASSERT_TRUE(VerQueryValueW(record.data(), query.c_str(), reinterpret_cast<void**>(&found), &length));
    EXPECT_STREQ(found, value);
  }
}

struct Found {
  int types = 0;
  std::set<WORD> languages;
};

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<Found*>(found)->languages.insert(language);
  return TRUE;
}

BOOL CALLBACK AddLanguagesOfName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found) {
  EnumResourceLanguagesW(module, type, name, &AddLanguage, found);
  return TRUE;
}

BOOL CALLBACK CountType(HMODULE module, LPWSTR type, LONG_PTR found) {
  ++reinterpret_cast<Found*>(found)->types;
  EnumResourceNamesW(module, type, &AddLanguagesOfName, found);
  return TRUE;
}

// Every resource is tagged with the language the version record declares.
TEST_F(Resources, EveryResourceInTheVersionRecordsLanguage) {
  const std::string record = VersionRecord();
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(
      VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 2 * sizeof(WORD)) << "one language";
  EXPECT_EQ(translation[0], kJapanese);
  EXPECT_EQ(translation[1], 1200) << "Unicode";

  Found found;
  EnumResourceTypesW(module, &CountType, reinterpret_cast<LONG_PTR>(&found));
  // Icons, their group, the manifest and the version record.
  EXPECT_GE(found.types, 4);
  EXPECT_EQ(found.languages, std::set<WORD>{translation[0]});
  EXPECT_TRUE(FindResourceExW(module, RT_MANIFEST, MAKEINTRESOURCEW(1), kJapanese));
  EXPECT_FALSE(FindResourceExW(module, RT_MANIFEST, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
}

}  // namespace
}  // namespace vexaro::ui::win32

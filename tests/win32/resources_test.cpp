// The resources of Vexaro.exe as the system reads them: the three icon
// images, the version record and the manifest.
#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vexaro::ui::win32 {
namespace {

// The program beside this test in the build tree.
std::wstring ProgramPath() {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return self.substr(0, self.find_last_of(L'\\')) + L"\\..\\..\\ui\\win32\\Vexaro.exe";
}

#pragma pack(push, 2)
struct IconGroupHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
#pragma pack(pop)

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module_) << "cannot load " << GetLastError();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  std::string Resource(const wchar_t* type, const wchar_t* name) const {
    HRSRC found = FindResourceW(module_, name, type);
    if (!found) return {};
    const void* data = LockResource(LoadResource(module_, found));
    return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
  }
  HMODULE module_ = nullptr;
};

TEST_F(ResourcesTest, IconWithThreeImages) {
  const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(1));
  ASSERT_GE(group.size(), sizeof(IconGroupHeader));
  IconGroupHeader header{};
  std::memcpy(&header, group.data(), sizeof header);
  EXPECT_EQ(header.type, 1);
  EXPECT_EQ(header.count, 3);
  HICON icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
  EXPECT_TRUE(icon);
  if (icon) DestroyIcon(icon);
}

TEST_F(ResourcesTest, VersionRecordInJapaneseAndUnicode) {
  const std::wstring path = ProgramPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string data(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0411);
  EXPECT_EQ(translation[1], 1200);

  struct Case {
    const wchar_t* key;
    const wchar_t* value;
  };
  const Case cases[] = {
      {L"ProductName", L"Vexaro 28"},
      {L"InternalName", L"Vexaro"},
      {L"OriginalFilename", L"Vexaro.exe"},
      {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},
  };
  for (const auto& c : cases) {
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + c.key;
    ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << c.key;
    EXPECT_STREQ(value, c.value);
  }
}

TEST_F(ResourcesTest, ManifestAsksForCommonControlsPerMonitorResolutionAndLongPaths) {
  const std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  for (const char* part : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "PerMonitorV2",
                           "<longPathAware", ">true</longPathAware>", "asInvoker"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace vexaro::ui::win32

#include "platform/convert_win32.h"

#include "platform/windows_win32.h"

#include <gtest/gtest.h>

namespace vexaro::platform::win32 {
namespace {

TEST(Widen, DecodesUtf8AndReplacesWhatIsBroken) {
  struct Case {
    const char* name;
    std::string utf8;
    std::wstring utf16;
  };
  const Case cases[] = {
      {"empty", "", L""},
      {"ascii", "C:\\Data\\a.txt", L"C:\\Data\\a.txt"},
      {"two-byte", "caf\xC3\xA9", L"caf\u00E9"},
      {"japanese", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", L"\u65E5\u672C\u8A9E"},
      {"korean", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", L"\uD55C\uAD6D\uC5B4"},
      {"emoji is a surrogate pair", "\xF0\x9F\x98\x80", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}},
      {"highest code point", "\xF4\x8F\xBF\xBF", std::wstring{wchar_t(0xDBFF), wchar_t(0xDFFF)}},
      {"stray continuation", "a\x80" "b", L"a\uFFFDb"},
      {"invalid lead", "\xFF", L"\uFFFD"},
      {"overlong slash", "\xC0\xAF", L"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\x80", L"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"cut at the end", "x\xE6\x97", L"x\uFFFD"},
      {"cut before ascii", "\xE6\x97" "a", L"\uFFFD" L"a"},
      {"lone high surrogate form", "\xED\xA0\x80", std::wstring{wchar_t(0xD800)}},
      {"lone low surrogate form", "\xED\xBF\xBF" "z", std::wstring{wchar_t(0xDFFF), L'z'}},
      {"embedded nul kept", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(Widen(c.utf8), c.utf16) << c.name;
}

TEST(Narrow, EncodesUtf16AndKeepsLoneSurrogates) {
  struct Case {
    const char* name;
    std::wstring utf16;
    std::string utf8;
  };
  const Case cases[] = {
      {"ascii", L"a.txt", "a.txt"},
      {"latin", L"\u00E9", "\xC3\xA9"},
      {"japanese", L"\u65E5\u672C\u8A9E", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
      {"pair", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},
      {"lone high, then text", std::wstring{wchar_t(0xD800), L'a'}, "\xED\xA0\x80" "a"},
      {"lone high at the end", std::wstring{L'a', wchar_t(0xDBFF)}, "a\xED\xAF\xBF"},
      {"lone low", std::wstring{wchar_t(0xDC00)}, "\xED\xB0\x80"},
      {"pair in the wrong order", std::wstring{wchar_t(0xDE00), wchar_t(0xD83D)}, "\xED\xB8\x80\xED\xA0\xBD"},
      {"U+FFFF", L"\uFFFF", "\xEF\xBF\xBF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Narrow(c.utf16), c.utf8) << c.name;
    EXPECT_EQ(Widen(Narrow(c.utf16)), c.utf16) << c.name << ": the round trip loses nothing";
  }
}

TEST(ExtendedPath, LiftsTheLengthLimitInEveryPathForm) {
  wchar_t current[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH + 1, current);
  std::wstring here = current;
  if (here.back() != L'\\') here.push_back(L'\\');

  struct Case {
    const char* path;
    std::wstring expected;
  };
  const Case cases[] = {
      {"C:\\Data\\", L"\\\\?\\C:\\Data\\"},
      {"C:\\", L"\\\\?\\C:\\"},
      {"c:/Data/sub", L"\\\\?\\c:\\Data\\sub"},
      {"\\\\server\\share\\dir\\", L"\\\\?\\UNC\\server\\share\\dir\\"},
      {"\\\\?\\C:\\already", L"\\\\?\\C:\\already"},
      {"\\\\?\\UNC\\srv\\sh\\", L"\\\\?\\UNC\\srv\\sh\\"},
      {"C:\\a\\..\\b\\", L"\\\\?\\C:\\b\\"},
      {"C:\\a\\.\\b", L"\\\\?\\C:\\a\\b"},
      {"C:\\a\\\\b", L"\\\\?\\C:\\a\\b"},
      {"C:\\\xE6\x97\xA5\\\xF0\x9F\x98\x80\\", L"\\\\?\\C:\\\u65E5\\\U0001F600\\"},
      {"rel\\x\\", L"\\\\?\\" + here + L"rel\\x\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedPath(c.path), c.expected) << c.path;
}

TEST(DriveName, DrivePartAsTheScriptingRuntimeFormsIt) {
  struct Case {
    const char* path;
    const char* drive;
  };
  const Case cases[] = {
      {"C:\\Data", "C:"},
      {"c:\\", "c:"},
      {"D:", "D:"},
      {"D:relative", "D:"},
      {"\\\\server\\share\\dir\\", "\\\\server\\share"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"//srv/sh/x", "\\\\srv\\sh"},
      {"\\\\?\\C:\\x", "C:"},
      {"\\\\?\\UNC\\srv\\sh\\x", "\\\\srv\\sh"},
      {"\\\\server", ""},
      {"\\\\server\\", ""},
      {"\\\\\\share", ""},
      {"relative\\dir", ""},
      {"1:\\", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DriveName(c.path), c.drive) << c.path;
}

TEST(Win32Error, ComparesWithPortableConditionsAndSaysWhy) {
  struct Case {
    unsigned long code;
    std::errc condition;
  };
  const Case cases[] = {
      {ERROR_FILE_NOT_FOUND, std::errc::no_such_file_or_directory},
      {ERROR_PATH_NOT_FOUND, std::errc::no_such_file_or_directory},
      {ERROR_BAD_NETPATH, std::errc::no_such_file_or_directory},
      {ERROR_ACCESS_DENIED, std::errc::permission_denied},
      {ERROR_DIRECTORY, std::errc::not_a_directory},
      {ERROR_FILENAME_EXCED_RANGE, std::errc::filename_too_long},
      {ERROR_CANT_RESOLVE_FILENAME, std::errc::too_many_symbolic_link_levels},
  };
  for (const auto& c : cases) {
    const std::error_code error = Win32Error(c.code);
    EXPECT_TRUE(error) << c.code;
    EXPECT_EQ(error, c.condition) << c.code;
    EXPECT_EQ(error.value(), static_cast<int>(c.code));
    const std::string message = error.message();
    EXPECT_FALSE(message.empty()) << c.code;
    EXPECT_NE(message.back(), '\n') << c.code;
  }
  const std::error_code unknown = Win32Error(0x2FFF);
  EXPECT_NE(unknown, std::errc::no_such_file_or_directory);
  EXPECT_EQ(unknown.category(), Win32Category());
  EXPECT_FALSE(unknown.message().empty());
  EXPECT_FALSE(Win32Error(ERROR_SUCCESS));

  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(LastError(), std::errc::permission_denied);
}

}  // namespace
}  // namespace vexaro::platform::win32

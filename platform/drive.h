#pragma once
// The drive of a Windows path, read as text on any system: the CLI makes
// Windows paths absolute, the Win32 side asks for a drive's label and space,
// and the in-memory test system answers as Windows does.

#include <string>
#include <string_view>

namespace vexaro::platform {

// The drive at the start of `path` as written: "C:" of C:\Data,
// "\\server\share" of \\server\share\Data (server and share not empty);
// empty when there is none. '\' and '/' both separate.
std::string_view DrivePart(std::string_view path);

// The drive that holds `path`: DrivePart, with the \\?\ and \\?\UNC\ forms
// read as the paths they stand for ("\\?\UNC\srv\x\y" gives "\\srv\x").
std::string DriveName(std::string_view path);

}  // namespace vexaro::platform

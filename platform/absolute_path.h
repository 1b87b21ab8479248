#pragma once
// Start folders given by name (the command line, a drop) made what the
// folder picker gives: absolute, with a trailing separator.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vexaro::platform {

// Whether `path` names a folder that is not a link (symbolic link, junction).
using IsPlainFolder = std::function<bool(std::string_view path)>;

// `folder` made absolute against `current` (an absolute folder path, with or
// without a trailing separator), with a trailing separator.
//
// Links are not resolved: the path names the folder the way the user wrote
// it. Empty and "." components are dropped. A ".." is taken out together
// with the component before it only when that component is a plain folder,
// where doing so cannot change which folder is meant; after a link, or after
// something that does not exist, the ".." stays and the system resolves it
// when the folder is read, as it would have for the relative path.
//
// With separator '\\' (Windows) '/' is read as '\\' too; "C:\x" and "\\srv\x"
// are absolute, "\x" is taken on the drive of `current`, and "C:x" is taken
// in the root of C: unless `current` is on C:.
std::string MakeAbsolute(std::string_view folder, std::string_view current, char separator,
                         const IsPlainFolder& isPlainFolder);

// Whether `path` names one folder whatever the current folder is: "/x" with
// separator '/'; "C:\x" or "\\srv\x" (or with '/') with '\\', where
// "\x" and "C:x" still depend on the current drive or folder.
bool IsAbsolutePath(std::string_view path, char separator);

// The current folder, UTF-8. The shell's idea of it ($PWD) when that names
// the same folder, so that a current folder reached through a link keeps its
// name; otherwise the system's.
struct CurrentFolderResult {
  std::string path;
  std::error_code error;
};
CurrentFolderResult CurrentFolder();

// Through the file system: a folder that is not a link.
bool IsPlainFolderOnDisk(std::string_view path);

}  // namespace vexaro::platform

#include "platform/absolute_path.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/drive.h"

namespace vexaro::platform {
namespace {

namespace fs = std::filesystem;

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasDrive(std::string_view path) { return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':'; }

// The root of an absolute Windows path ("C:\" or "\\server\share\") and the
// rest after it.
std::pair<std::string, std::string_view> SplitWindowsRoot(std::string_view path) {
  const std::string_view drive = DrivePart(path);
  // A share named without its share part is all root.
  if (drive.empty() && path.starts_with("\\\\")) return {std::string(path) + "\\", {}};
  const std::size_t end = std::min(drive.size() + 1, path.size());
  return {std::string(drive) + "\\", path.substr(end)};
}

fs::path FromUtf8(std::string_view text) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string ToUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace

std::string MakeAbsolute(std::string_view folder, std::string_view current, char separator,
                         const IsPlainFolder& isPlainFolder) {
  std::string root;
  std::string rest;  // components after the root, separated by `separator`
  if (separator == '\\') {
    std::string given(folder);
    std::replace(given.begin(), given.end(), '/', '\\');
    std::string base(current);
    std::replace(base.begin(), base.end(), '/', '\\');
    std::string whole;
    if (given.starts_with("\\\\") || (HasDrive(given) && given.size() >= 3 && given[2] == '\\')) {
      whole = given;
    } else if (given.starts_with("\\")) {
      whole = SplitWindowsRoot(base).first + given.substr(1);
    } else if (HasDrive(given)) {
      // Drive-relative "C:x": the system keeps a current folder per drive,
      // which a program cannot ask for; the root stands in for other drives.
      const bool sameDrive = HasDrive(base) && (base[0] | 0x20) == (given[0] | 0x20);
      whole = sameDrive ? base + "\\" + given.substr(2) : given.substr(0, 2) + "\\" + given.substr(2);
    } else {
      whole = base + "\\" + given;
    }
    auto [r, tail] = SplitWindowsRoot(whole);
    root = std::move(r);
    rest = std::string(tail);
  } else {
    root = std::string(1, separator);
    rest = folder.starts_with(separator) ? std::string(folder) : std::string(current) + separator + std::string(folder);
  }

  // Rebuild component by component.
  std::string result = root;
  std::vector<std::size_t> starts;  // where each kept component begins in `result`
  std::size_t at = 0;
  while (at <= rest.size()) {
    std::size_t end = rest.find(separator, at);
    if (end == std::string::npos) end = rest.size();
    const std::string_view part = std::string_view(rest).substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (starts.empty()) continue;  // ".." of the root is the root
      const std::string_view kept = std::string_view(result).substr(0, result.size() - 1);  // without separator
      const std::string_view last = kept.substr(starts.back());
      if (last != ".." && isPlainFolder(kept)) {
        result.resize(starts.back());
        starts.pop_back();
        continue;
      }
    }
    starts.push_back(result.size());
    result.append(part).push_back(separator);
  }
  return result;
}

bool IsAbsolutePath(std::string_view path, char separator) {
  if (separator != '\\') return path.starts_with(separator);
  auto slash = [&](std::size_t at) { return at < path.size() && (path[at] == '\\' || path[at] == '/'); };
  return (slash(0) && slash(1)) || (HasDrive(path) && slash(2));
}

CurrentFolderResult CurrentFolder() {
  std::error_code error;
  const fs::path physical = fs::current_path(error);
  if (error) return {{}, error};
  if (const char* pwd = std::getenv("PWD"); pwd != nullptr) {
    const fs::path logical = FromUtf8(pwd);
    const bool clean = logical.is_absolute() && std::none_of(logical.begin(), logical.end(), [](const fs::path& part) {
                         return part == "." || part == "..";
                       });
    std::error_code ignored;
    if (clean && fs::equivalent(logical, physical, ignored)) return {pwd, {}};
  }
  return {ToUtf8(physical), {}};
}

bool IsPlainFolderOnDisk(std::string_view path) {
  std::error_code error;
  return fs::symlink_status(FromUtf8(path), error).type() == fs::file_type::directory;
}

}  // namespace vexaro::platform

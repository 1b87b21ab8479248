#include "platform/drive.h"

namespace vexaro::platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string_view DrivePart(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' && IsAsciiLetter(path[0])) return path.substr(0, 2);
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return {};
  std::size_t serverEnd = 2;
  while (serverEnd < path.size() && !IsSeparator(path[serverEnd])) ++serverEnd;
  if (serverEnd == 2 || serverEnd == path.size()) return {};
  std::size_t shareEnd = serverEnd + 1;
  while (shareEnd < path.size() && !IsSeparator(path[shareEnd])) ++shareEnd;
  if (shareEnd == serverEnd + 1) return {};
  return path.substr(0, shareEnd);
}

std::string DriveName(std::string_view path) {
  std::string name;
  if (path.starts_with("\\\\?\\UNC\\") || path.starts_with("\\\\?\\unc\\")) {
    std::string share = "\\\\";
    share.append(path.substr(8));
    name = DrivePart(share);
  } else {
    if (path.starts_with("\\\\?\\")) path.remove_prefix(4);
    name = DrivePart(path);
  }
  // A share is named with backslashes, however it was written.
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

}  // namespace vexaro::platform

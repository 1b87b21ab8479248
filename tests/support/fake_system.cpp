#include "tests/support/fake_system.h"

#include <algorithm>
#include <string>

#include "platform/drive.h"

namespace vexaro::testing {
namespace {

std::string Trimmed(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

}  // namespace

std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int yoe = year - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t days = std::int64_t{era} * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

class FakeSystem::OpenFolderImpl final : public platform::Folder {
 public:
  OpenFolderImpl(FakeSystem& system, std::string where, std::string path, const Node& node, std::uint64_t mount)
      : system_(system), where_(std::move(where)), path_(std::move(path)), node_(node), mount_(mount) {
    ++system_.openFolders_;
  }
  ~OpenFolderImpl() override { --system_.openFolders_; }

  bool Next(platform::DirEntry& entry) override {
    if (next_ >= node_.children.size()) return false;
    const std::string& name = node_.children[next_++];
    const Node& child = *system_.Find(path_ + "\\" + name);
    entry.name = name;
    entry.stamp.reset();
    entry.kind = child.kind == Node::Kind::Folder         ? platform::EntryKind::Folder
                 : child.kind == Node::Kind::LinkedFolder ? platform::EntryKind::LinkedFolder
                                                          : platform::EntryKind::File;
    if (child.kind == Node::Kind::File && system_.recordsCarryStamps_) entry.stamp = child.stamp;
    return true;
  }
  std::error_code error() const override { return {}; }
  std::optional<platform::FolderId> id() const override { return platform::FolderId{1, node_.inode}; }
  std::uint64_t mount() const override { return mount_; }

  platform::OpenResult OpenChild(std::string_view name) override {
    return system_.Open(where_ + "\\" + std::string(name), false);
  }
  platform::OpenResult OpenParent() override {
    const auto at = where_.rfind('\\');
    if (at == std::string::npos || at < 2) return {nullptr, std::make_error_code(std::errc::no_such_file_or_directory)};
    return system_.Open(where_.substr(0, at), true);
  }

  std::optional<platform::FileStamp> Stat(std::string_view name, platform::StampFields wanted) override {
    ++system_.stats_;
    const Node* child = system_.Find(path_ + "\\" + std::string(name));
    if (!child || child->vanished || child->kind != Node::Kind::File) return std::nullopt;
    platform::FileStamp stamp;
    if (wanted.size) stamp.size = child->stamp.size;
    if (wanted.times) {
      stamp.creation = child->stamp.creation;
    }
    return stamp;
  }

 private:
  FakeSystem& system_;
  std::string where_;  // the path it was reached by
  std::string path_;   // the folder whose entries these are (a mount's target)
  const Node& node_;
  std::uint64_t mount_;
  std::size_t next_ = 0;
};

FakeSystem::FakeSystem() : now_{UtcSeconds(2026, 12, 6, 0, 5, 0), 0} {}

FakeSystem::Node& FakeSystem::Ensure(std::string_view path, Node::Kind kind) {
  const std::string key = Trimmed(path);
  if (auto it = nodes_.find(key); it != nodes_.end()) return it->second;
  if (const auto at = key.rfind('\\'); at != std::string::npos) {
    Ensure(key.substr(0, at), Node::Kind::Folder).children.push_back(key.substr(at + 1));
  }
  Node& node = nodes_[key];
  node.kind = kind;
  node.inode = nextInode_++;
  return node;
}

const FakeSystem::Node* FakeSystem::Find(std::string_view path) const {
  const auto it = nodes_.find(path);
  return it == nodes_.end() ? nullptr : &it->second;
}

void FakeSystem::AddFolder(std::string_view path) { Ensure(path, Node::Kind::Folder); }

void FakeSystem::AddFile(std::string_view path, std::uint64_t size, UtcTime creation) {
  Ensure(path, Node::Kind::File).stamp = {size, creation};
}

void FakeSystem::AddLinkedFolder(std::string_view path) { Ensure(path, Node::Kind::LinkedFolder); }

void FakeSystem::ReplaceWithLink(std::string_view path) { nodes_.at(Trimmed(path)).kind = Node::Kind::LinkedFolder; }

void FakeSystem::ReplaceWithOtherFolder(std::string_view path) { nodes_.at(Trimmed(path)).inode = nextInode_++; }

void FakeSystem::AddMountOf(std::string_view path, std::string_view target) {
  AddSecondNameOf(path, target);
  nodes_.at(Trimmed(path)).mount = nextInode_++;
}

void FakeSystem::AddSecondNameOf(std::string_view path, std::string_view target) {
  Node& node = Ensure(path, Node::Kind::Folder);
  node.mountOf = Trimmed(target);
  node.inode = nodes_.at(node.mountOf).inode;
}

void FakeSystem::SetUnreadable(std::string_view folderPath) { nodes_.at(Trimmed(folderPath)).unreadable = true; }

void FakeSystem::SetVanished(std::string_view filePath) { nodes_.at(Trimmed(filePath)).vanished = true; }

void FakeSystem::SetOffset(std::int64_t fromUtc, std::int32_t offsetSeconds) {
  if (offsets_.size() == 1 && offsets_[0].first == INT64_MIN) offsets_[0].second = offsetSeconds;
  offsets_.emplace_back(fromUtc, offsetSeconds);
  std::sort(offsets_.begin(), offsets_.end());
}

platform::OpenResult FakeSystem::OpenFolder(std::string_view path) { return Open(Trimmed(path), true); }

platform::OpenResult FakeSystem::Open(std::string where, bool followLinks) {
  if (onOpen_) onOpen_(where);
  ++opens_;
  // A path reached through a mount goes on in the mount's target.
  std::string key = where;
  std::uint64_t mount = 1;  // the root's
  for (std::size_t at = key.find('\\', 3); at != std::string::npos; at = key.find('\\', at + 1)) {
    const Node* above = Find(std::string_view(key).substr(0, at));
    if (above && !above->mountOf.empty()) {
      if (above->mount != 0) mount = above->mount;
      key = above->mountOf + key.substr(at);
      at = above->mountOf.size();
    }
  }
  const Node* node = Find(key);
  if (!node) return {nullptr, std::make_error_code(std::errc::no_such_file_or_directory)};
  if (node->kind == Node::Kind::LinkedFolder) {
    // Where links lead is not modelled: only that a no-follow open refuses.
    return {nullptr, std::make_error_code(followLinks ? std::errc::no_such_file_or_directory
                                                      : std::errc::too_many_symbolic_link_levels)};
  }
  if (node->kind != Node::Kind::Folder) return {nullptr, std::make_error_code(std::errc::not_a_directory)};
  if (node->unreadable) return {nullptr, std::make_error_code(std::errc::permission_denied)};
  if (!node->mountOf.empty()) {
    if (node->mount != 0) mount = node->mount;
    node = Find(key = node->mountOf);
  }
  return {std::make_unique<OpenFolderImpl>(*this, std::move(where), key, *node, mount), {}};
}

std::string FakeSystem::Label(std::string_view path) {
  const auto it = labels_.find(std::string(path.substr(0, 2)) + "\\");
  return it == labels_.end() ? std::string() : it->second;
}

std::optional<platform::DiskSpace> FakeSystem::Space(std::string_view path) {
  const auto it = spaces_.find(platform::DriveName(path));
  if (it == spaces_.end()) return std::nullopt;
  return it->second;
}

std::int32_t FakeSystem::UtcOffsetAt(std::int64_t utcSeconds) {
  ++offsetQueries_;
  std::int32_t offset = offsets_.front().second;
  for (const auto& [from, value] : offsets_) {
    if (from <= utcSeconds) offset = value;
  }
  return offset;
}

std::string FakeSystem::DateTimeText(const platform::LocalDateTime& t) { return platform::FixedDateTimeText(t); }

}  // namespace vexaro::testing

#include "tests/support/fake_system.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace vexaro::testing {
namespace {

std::string Trimmed(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

std::string ParentOf(std::string_view path) {
  const auto at = path.rfind('\\');
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at));
}

}  // namespace

std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
  // Days from civil (proleptic Gregorian).
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int yoe = year - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

class FakeSystem::OpenFolderImpl final : public platform::Folder {
 public:
  OpenFolderImpl(FakeSystem& system, std::string path, const Node& node)
      : system_(system), path_(std::move(path)), node_(node) {
    ++system_.openFolders_;
  }
  ~OpenFolderImpl() override { --system_.openFolders_; }

  bool Next(platform::DirEntry& entry) override {
    if (next_ >= node_.children.size()) return false;
    const std::string& name = node_.children[next_++];
    const Node& child = *system_.Find(path_ + "\\" + name);
    entry.name = name;
    entry.stamp.reset();
    switch (child.kind) {
      case Node::Kind::Folder:
        entry.kind = platform::EntryKind::Folder;
        break;
      case Node::Kind::LinkedFolder:
        entry.kind = platform::EntryKind::LinkedFolder;
        break;
      case Node::Kind::File:
        entry.kind = platform::EntryKind::File;
        if (system_.recordsCarryStamps_) entry.stamp = child.stamp;
        break;
    }
    return true;
  }
  std::error_code error() const override { return {}; }
  std::optional<platform::FolderId> id() const override { return platform::FolderId{1, node_.inode}; }

  std::optional<platform::FileStamp> Stat(std::string_view name, platform::StampFields wanted) override {
    ++system_.stats_;
    const Node* child = system_.Find(path_ + "\\" + std::string(name));
    if (!child || child->vanished || child->kind != Node::Kind::File) return std::nullopt;
    platform::FileStamp stamp;
    if (wanted.size) stamp.size = child->stamp.size;
    if (wanted.times) {
      stamp.creation = child->stamp.creation;
      stamp.lastWrite = child->stamp.lastWrite;
      stamp.lastAccess = child->stamp.lastAccess;
    }
    return stamp;
  }

 private:
  FakeSystem& system_;
  std::string path_;  // the folder whose entries these are (a mount's target)
  const Node& node_;
  std::size_t next_ = 0;
};

class FakeSystem::Search final : public platform::DirectorySearch {
 public:
  explicit Search(FakeSystem& system) : system_(system) {}
  platform::OpenResult OpenFolder(std::string_view path) override {
    if (system_.onOpen_) system_.onOpen_(path);
    ++system_.opens_;
    std::string key = Trimmed(path);
    const Node* node = system_.Find(key);
    if (!node || node->kind != Node::Kind::Folder) {
      return {nullptr, std::make_error_code(std::errc::no_such_file_or_directory)};
    }
    if (node->unreadable) return {nullptr, std::make_error_code(std::errc::permission_denied)};
    if (!node->mountOf.empty()) {
      key = node->mountOf;
      node = system_.Find(key);
    }
    return {std::make_unique<OpenFolderImpl>(system_, key, *node), {}};
  }

 private:
  FakeSystem& system_;
};

class FakeSystem::Volumes final : public platform::VolumeInfo, public platform::DiskSpaceInfo {
 public:
  explicit Volumes(FakeSystem& system) : system_(system) {}
  std::string Label(std::string_view path) override {
    // The root is the first two characters and a backslash, as Windows takes it.
    const std::string root = std::string(path.substr(0, 2)) + "\\";
    const auto it = system_.labels_.find(root);
    return it == system_.labels_.end() ? std::string() : it->second;
  }
  std::optional<platform::DiskSpace> Space(std::string_view path) override {
    std::string drive;
    if (path.starts_with("\\\\")) {
      const auto server = path.find('\\', 2);
      const auto share = server == std::string_view::npos ? server : path.find('\\', server + 1);
      drive = std::string(path.substr(0, share));
    } else if (path.size() >= 2 && path[1] == ':') {
      drive = std::string(path.substr(0, 2));
    }
    const auto it = system_.spaces_.find(drive);
    if (it == system_.spaces_.end()) return std::nullopt;
    return it->second;
  }

 private:
  FakeSystem& system_;
};

class FakeSystem::FakeClock final : public platform::Clock {
 public:
  explicit FakeClock(FakeSystem& system) : system_(system) {}
  UtcTime Now() override { return system_.now_; }
  std::int32_t UtcOffsetAt(std::int64_t utcSeconds) override {
    ++system_.offsetQueries_;
    const auto& offsets = system_.offsets_;
    std::int32_t offset = offsets.front().second;
    for (const auto& [from, value] : offsets) {
      if (from <= utcSeconds) offset = value;
    }
    return offset;
  }

 private:
  FakeSystem& system_;
};

class FakeSystem::FakeRegional final : public platform::Regional {
 public:
  explicit FakeRegional(FakeSystem& system) : system_(system) {}
  // Japanese settings: short date yyyy/MM/dd, time H:mm:ss.
  std::string DateTimeText(const platform::LocalDateTime& t) override {
    char text[64];
    std::snprintf(text, sizeof text, "%04d%s%02d%s%02d %d%s%02d%s%02d", t.year, system_.dateSeparator_.c_str(),
                  t.month, system_.dateSeparator_.c_str(), t.day, t.hour, system_.timeSeparator_.c_str(),
                  t.minute, system_.timeSeparator_.c_str(), t.second);
    return text;
  }
  std::string DateSeparator() override { return system_.dateSeparator_; }
  std::string TimeSeparator() override { return system_.timeSeparator_; }
  std::string DecimalSeparator() override { return system_.decimal_; }

 private:
  FakeSystem& system_;
};

FakeSystem::FakeSystem()
    : offsets_{{INT64_MIN, 9 * 3600}},
      now_{UtcSeconds(2026, 12, 6, 0, 5, 0), 0},
      search_(std::make_unique<Search>(*this)),
      volumes_(std::make_unique<Volumes>(*this)),
      clock_(std::make_unique<FakeClock>(*this)),
      regional_(std::make_unique<FakeRegional>(*this)) {}

FakeSystem::~FakeSystem() = default;

FakeSystem::Node& FakeSystem::Ensure(std::string_view path, Node::Kind kind) {
  const std::string key = Trimmed(path);
  if (auto it = nodes_.find(key); it != nodes_.end()) return it->second;
  const std::string parent = ParentOf(key);
  if (!parent.empty()) {
    Node& parentNode = Ensure(parent, Node::Kind::Folder);
    parentNode.children.push_back(key.substr(parent.size() + 1));
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

void FakeSystem::AddFile(std::string_view path, std::uint64_t size, UtcTime creation, UtcTime lastWrite,
                         UtcTime lastAccess) {
  Node& node = Ensure(path, Node::Kind::File);
  node.stamp = {size, creation, lastWrite, lastAccess};
}

void FakeSystem::AddLinkedFolder(std::string_view path) { Ensure(path, Node::Kind::LinkedFolder); }

void FakeSystem::AddMountOf(std::string_view path, std::string_view target) {
  Node& node = Ensure(path, Node::Kind::Folder);
  node.mountOf = Trimmed(target);
  node.inode = nodes_.at(node.mountOf).inode;
}

void FakeSystem::SetUnreadable(std::string_view folderPath) { nodes_.at(Trimmed(folderPath)).unreadable = true; }

void FakeSystem::SetVanished(std::string_view filePath) { nodes_.at(Trimmed(filePath)).vanished = true; }

void FakeSystem::SetLabel(std::string_view root, std::string label) { labels_[std::string(root)] = std::move(label); }

void FakeSystem::SetSpace(std::string_view drive, std::uint64_t available, std::uint64_t total) {
  spaces_[std::string(drive)] = {available, total};
}

void FakeSystem::SetOffset(std::int64_t fromUtc, std::int32_t offsetSeconds) {
  if (offsets_.size() == 1 && offsets_[0].first == INT64_MIN) offsets_[0].second = offsetSeconds;
  offsets_.emplace_back(fromUtc, offsetSeconds);
  std::sort(offsets_.begin(), offsets_.end());
}

platform::DirectorySearch& FakeSystem::directories() { return *search_; }
platform::VolumeInfo& FakeSystem::volumes() { return *volumes_; }
platform::DiskSpaceInfo& FakeSystem::disks() { return *volumes_; }
platform::Clock& FakeSystem::clock() { return *clock_; }
platform::Regional& FakeSystem::regional() { return *regional_; }

}  // namespace vexaro::testing

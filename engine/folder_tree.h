#pragma once
// The folder tree as the walk finds it. Each folder is kept as its parent and
// its name, never as a full path, so that memory grows with the number of
// folders, not with their depth.
//
// Each folder keeps its subfolders in listing order: the order of the full
// paths under CompareNames. The tree gives that order without building the
// paths, since a folder's own path sorts just before the paths below it: a
// folder's entries are its subfolders' names, and the same names with the
// separator appended for the folders below each, sorted together.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace vexaro::engine {

class FolderTree {
 public:
  using Index = std::uint32_t;
  static constexpr Index kNone = UINT32_MAX;
  static constexpr Index kRoot = 0;

  // One entry of a folder in listing order: a subfolder, or the folders
  // below that subfolder.
  struct Entry {
    Index folder;
    bool below;
  };

  explicit FolderTree(char separator) : separator_(separator) { Reset(); }

  // The start folder alone.
  void Reset();

  char separator() const { return separator_; }
  Index size() const { return static_cast<Index>(nodes_.size()); }
  Index parent(Index folder) const { return nodes_[folder].parent; }
  std::uint32_t depth(Index folder) const { return nodes_[folder].depth; }
  std::string_view name(Index folder) const {
    const Node& n = nodes_[folder];
    return {names_.data() + n.nameAt, n.nameSize};
  }

  // The identity the folder had when first read.
  const std::optional<platform::FolderId>& id(Index folder) const { return nodes_[folder].id; }
  void SetId(Index folder, const platform::FolderId& id) { nodes_[folder].id = id; }

  // What the walk found, for the listing: where the folder's files are kept
  // (kNone: not kept, the listing reads them), and whether there is anything
  // to list (not when the folder was unreadable, replaced or met before).
  std::uint32_t kept(Index folder) const { return nodes_[folder].kept; }
  void SetKept(Index folder, std::uint32_t kept) { nodes_[folder].kept = kept; }
  bool listable(Index folder) const { return nodes_[folder].listable; }
  void SetUnlistable(Index folder) { nodes_[folder].listable = false; }

  std::uint32_t entryCount(Index folder) const { return nodes_[folder].entryCount; }
  Entry entry(Index folder, std::uint32_t at) const {
    const std::uint32_t code = entries_[nodes_[folder].entriesAt + at];
    return {code >> 1, (code & 1) != 0};
  }

  // Adds `names` as the subfolders of `folder`, which has none yet; the
  // names are taken.
  void AddSubfolders(Index folder, std::vector<std::string>& names);

  // Forgets the folders below `folder` (met again through a bind mount, say):
  // `forget(index)` is called for each of them, which stay in the tree
  // without entries, never to be reached in listing order.
  template <class Forget>
  void DropBelow(Index folder, Forget&& forget) {
    std::vector<Index> pending{folder};
    while (!pending.empty()) {
      Node& n = nodes_[pending.back()];
      pending.pop_back();
      for (std::uint32_t at = 0; at < n.entryCount; ++at) {
        const std::uint32_t code = entries_[n.entriesAt + at];
        if (code & 1) continue;
        nodes_[code >> 1].listable = false;
        forget(code >> 1);
        pending.push_back(code >> 1);
      }
      n.entryCount = 0;
    }
  }

 private:
  struct Node {
    Index parent = kNone;
    std::uint32_t depth = 0;
    std::uint32_t nameAt = 0;  // in names_
    std::uint32_t nameSize = 0;
    std::uint32_t entriesAt = 0;  // in entries_
    std::uint32_t entryCount = 0;
    std::uint32_t kept = kNone;
    bool listable = true;
    std::optional<platform::FolderId> id;
  };

  char separator_;
  std::vector<Node> nodes_;
  std::string names_;
  std::vector<std::uint32_t> entries_;  // folder << 1, | 1 for the folders below it
};

}  // namespace vexaro::engine

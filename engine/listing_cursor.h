#pragma once
// A place in listing order among the folders below a start folder. Both
// passes of the walk move one forward; the read-ahead runs a copy ahead of
// them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/folder_tree.h"

namespace vexaro::engine {

class ListingCursor {
 public:
  using Index = FolderTree::Index;

  // Before the first folder below the start folder, whose full path (with
  // its separator) is `rootPath`.
  ListingCursor(const FolderTree& tree, std::string_view rootPath)
      : tree_(&tree), frames_{{FolderTree::kRoot, 0, rootPath.size()}}, path_(rootPath), current_(rootPath) {}

  // The next folder, or nullopt at the end. The folders below a folder are
  // stepped into when the tree knows them by then, and stepped over when it
  // does not yet: `beforeEntering(folder)` is called first, so that the
  // caller may still let the tree learn them.
  template <class BeforeEntering>
  std::optional<Index> Next(BeforeEntering&& beforeEntering) {
    while (!frames_.empty()) {
      Frame& frame = frames_.back();
      if (frame.at >= tree_->entryCount(frame.folder)) {
        frames_.pop_back();
        if (!frames_.empty() && paths_) path_.resize(frames_.back().pathSize);
        continue;
      }
      const FolderTree::Entry entry = tree_->entry(frame.folder, frame.at++);
      if (!entry.below) {
        if (paths_) current_.assign(path_).append(tree_->name(entry.folder)).push_back(tree_->separator());
        ++position_;
        return entry.folder;
      }
      beforeEntering(entry.folder);
      if (tree_->entryCount(entry.folder) == 0) continue;
      if (paths_) path_.append(tree_->name(entry.folder)).push_back(tree_->separator());
      frames_.push_back({entry.folder, 0, path_.size()});
    }
    return std::nullopt;
  }
  std::optional<Index> Next() {
    return Next([](Index) {});
  }

  // How many folders Next has given.
  std::size_t position() const { return position_; }

  // The full path of the folder Next gave last, with its separator; at
  // first the start folder's. Empty when paths are not tracked.
  std::string_view path() const { return current_; }
  // A cursor that only looks ahead may not need the paths.
  void TrackPaths(bool track) {
    paths_ = track;
    if (!track) {
      path_.clear();
      current_.clear();
    }
  }

 private:
  struct Frame {
    Index folder;
    std::uint32_t at;  // the next entry
    std::size_t pathSize;
  };

  const FolderTree* tree_;
  std::vector<Frame> frames_;
  std::string path_;  // of frames_.back()
  std::string current_;
  std::size_t position_ = 0;
  bool paths_ = true;
};

}  // namespace vexaro::engine

#include "engine/folder_tree.h"

#include "engine/sort.h"

namespace vexaro::engine {
namespace {

struct OrderKey {
  std::string key;
  std::uint32_t code;
};
std::string_view SortKey(const OrderKey& k) noexcept { return k.key; }

}  // namespace

void FolderTree::Reset() {
  nodes_.assign(1, Node{});
  names_.clear();
  entries_.clear();
}

void FolderTree::AddSubfolders(Index folder, std::vector<std::string>& names) {
  if (names.empty()) return;
  std::vector<OrderKey> keys;
  keys.reserve(2 * names.size());
  const std::uint32_t depth = nodes_[folder].depth + 1;
  for (std::string& name : names) {
    const auto child = static_cast<Index>(nodes_.size());
    Node& c = nodes_.emplace_back();
    c.parent = folder;
    c.depth = depth;
    c.nameAt = static_cast<std::uint32_t>(names_.size());
    c.nameSize = static_cast<std::uint32_t>(name.size());
    names_.append(name);
    keys.push_back({name, child << 1});
    name.push_back(separator_);
    keys.push_back({std::move(name), (child << 1) | 1});
  }
  SortArray(keys, [] {});
  Node& n = nodes_[folder];
  n.entriesAt = static_cast<std::uint32_t>(entries_.size());
  n.entryCount = static_cast<std::uint32_t>(keys.size());
  for (const OrderKey& key : keys) entries_.push_back(key.code);
}

}  // namespace vexaro::engine

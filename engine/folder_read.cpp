#include "engine/folder_read.h"

#include <utility>

namespace vexaro::engine {
namespace {

constexpr unsigned kCheckEvery = 256;

// The folder itself, opened from its parent when need be, and checked to be
// the one the walk recorded.
struct Opened {
  std::shared_ptr<platform::Folder> handle;
  ReadOutcome outcome = ReadOutcome::Read;
  std::error_code error;
};

Opened Open(const FolderSource& source) {
  Opened opened;
  opened.handle = source.folder;
  if (!opened.handle) {
    platform::OpenResult result = source.parent->OpenChild(source.name);
    if (!result.folder) {
      opened.error = result.error;
      opened.outcome = IsChange(result.error) ? ReadOutcome::Changed : ReadOutcome::Unreadable;
      return opened;
    }
    opened.handle = std::move(result.folder);
  }
  if (source.expected && opened.handle->id() != source.expected) {
    opened.outcome = ReadOutcome::Changed;
    opened.handle.reset();
  }
  return opened;
}

// What one pass over a folder's entries collects.
struct Collect {
  platform::StampFields wanted;
  bool files = true;
  std::size_t fileBudget = SIZE_MAX;
  std::vector<std::string>* folders = nullptr;  // null: subfolders are not collected
};

struct Collected {
  FileRecords files;
  bool complete = true;  // every file, with what was asked for
  std::uint32_t filesSeen = 0;
  std::error_code error;
};

// Reads `folder` to its end; nullopt when stopped.
std::optional<Collected> Enumerate(platform::Folder& folder, const Collect& collect, const KeepGoing& keepGoing) {
  Collected out;
  out.complete = collect.files;
  const bool wantStamps = collect.wanted.size || collect.wanted.times;
  bool collecting = collect.files;
  bool tooLarge = false;
  platform::DirEntry entry;
  unsigned sinceCheck = 0;
  while (folder.Next(entry)) {
    if (++sinceCheck == kCheckEvery) {
      sinceCheck = 0;
      if (keepGoing && !keepGoing()) return std::nullopt;
    }
    if (entry.kind == platform::EntryKind::Folder) {
      if (collect.folders != nullptr) {
        if (collect.folders->empty()) collect.folders->reserve(8);
        collect.folders->emplace_back(entry.name);
      }
      continue;
    }
    if (entry.kind != platform::EntryKind::File) continue;
    ++out.filesSeen;
    if (!collecting) continue;
    if (out.files.bytes() > collect.fileBudget) {
      collecting = false;
      out.complete = false;
      out.files = FileRecords();
      continue;
    }
    // Size and times the enumeration did not deliver are read now, with the
    // folder open, and only when a ticked column shows them. Names only: an
    // empty stamp still counts as read.
    const bool added = !wantStamps   ? out.files.Add(entry.name, platform::FileStamp{})
                       : entry.stamp ? out.files.Add(entry.name, entry.stamp)
                                     : out.files.Add(entry.name, folder.Stat(entry.name, collect.wanted));
    // More than one folder's records may hold: what was read is listed, and
    // the folder is reported as read only in part.
    if (!added) {
      collecting = false;
      tooLarge = true;
    }
  }
  out.error = folder.error();
  if (tooLarge && !out.error) out.error = std::make_error_code(std::errc::value_too_large);
  out.files.Sort();
  out.files.Shrink();
  return out;
}

}  // namespace

bool IsChange(std::error_code error) {
  return error == std::errc::too_many_symbolic_link_levels || error == std::errc::not_a_directory;
}

std::size_t WalkResult::bytes() const {
  std::size_t total = sizeof(WalkResult) + files.bytes();
  for (const std::string& name : folders) total += sizeof(std::string) + name.capacity();
  return total;
}

std::size_t ListResult::bytes() const { return sizeof(ListResult) + files.bytes(); }

std::optional<WalkResult> ReadForWalk(const WalkRead& read, const KeepGoing& keepGoing) {
  WalkResult result;
  Opened opened = Open(read.source);
  result.outcome = opened.outcome;
  result.error = opened.error;
  if (!opened.handle) return result;
  result.id = opened.handle->id();
  result.mount = opened.handle->mount();
  std::optional<Collected> collected =
      Enumerate(*opened.handle, {read.wanted, read.files, read.fileBudget, &result.folders}, keepGoing);
  if (!collected) return std::nullopt;
  result.handle = std::move(opened.handle);
  result.files = std::move(collected->files);
  result.collected = collected->complete;
  result.filesSeen = collected->filesSeen;
  result.error = collected->error;
  return result;
}

std::optional<ListResult> ReadForListing(const ListRead& read, const KeepGoing& keepGoing) {
  ListResult result;
  Opened opened = Open(read.source);
  result.outcome = opened.outcome;
  result.error = opened.error;
  if (!opened.handle) return result;
  std::optional<Collected> collected = Enumerate(*opened.handle, {read.wanted}, keepGoing);
  if (!collected) return std::nullopt;
  result.handle = std::move(opened.handle);
  result.files = std::move(collected->files);
  result.error = collected->error;
  return result;
}

}  // namespace vexaro::engine

#include "engine/walk.h"

#include <deque>
#include <functional>
#include <memory>
#include <unordered_set>

namespace vexaro::engine {
namespace {

struct FolderIdHash {
  std::size_t operator()(const platform::FolderId& id) const noexcept {
    return std::hash<std::uint64_t>{}(id.device * 0x9E3779B97F4A7C15ull ^ id.inode);
  }
};

std::string WithSeparator(std::string_view path, char separator) {
  std::string result(path);
  if (result.empty() || result.back() != separator) result.push_back(separator);
  return result;
}

// Opens one folder for the walk; refuses a folder already walked.
class FolderOpener {
 public:
  explicit FolderOpener(WalkContext& context) : context_(context) {}

  std::unique_ptr<platform::Folder> Open(const std::string& path) {
    auto [folder, error] = context_.directories.OpenFolder(path);
    if (!folder) {
      context_.host.ReportProblem({Problem::Kind::UnreadableFolder, path, error});
      return nullptr;
    }
    if (const auto id = folder->id(); id && !visited_.insert(*id).second) {
      context_.host.ReportProblem({Problem::Kind::FolderLoop, path, {}});
      return nullptr;
    }
    return std::move(folder);
  }

 private:
  WalkContext& context_;
  std::unordered_set<platform::FolderId, FolderIdHash> visited_;
};

}  // namespace

void GetSubFolders(WalkContext& context, const std::string& Path, std::vector<FolderItem>& folders) {
  ListingHost& host = context.host;
  FolderCache* cache = context.cache;
  FolderOpener opener(context);
  // Where the files of the folder being read are kept: its record in the cache.
  auto begin = [&](FolderCache::Id& slot, const std::unique_ptr<platform::Folder>& folder) {
    slot = !folder ? FolderCache::kNoFiles : cache ? cache->Begin() : FolderCache::kNotKept;
  };

  folders.clear();
  folders.emplace_back();
  std::deque<std::size_t> queue;  // indexes into `folders`
  std::string current = WithSeparator(Path, context.separator);
  std::size_t currentIndex = 0;
  std::unique_ptr<platform::Folder> search = opener.Open(current);
  begin(folders[0].files, search);

  platform::DirEntry entry;
  do {
    host.Yield();
    if (!queue.empty()) {
      host.DispListFile(current);
      currentIndex = queue.front();
      queue.pop_front();
      current = WithSeparator(folders[currentIndex].path, context.separator);
      search.reset();
      search = opener.Open(current);
      begin(folders[currentIndex].files, search);
    }
    bool complete = false;
    while (search && host.Continue()) {
      host.Yield();
      if (!search->Next(entry)) {
        complete = !search->error();
        if (!complete) {
          host.ReportProblem({Problem::Kind::UnreadableFolder, current, search->error()});
        }
        break;
      }
      switch (entry.kind) {
        case platform::EntryKind::Folder: {
          FolderItem& item = folders.emplace_back();
          item.path.reserve(current.size() + entry.name.size());
          item.path.append(current).append(entry.name);
          queue.push_back(folders.size() - 1);
          break;
        }
        case platform::EntryKind::File:
          if (cache) cache->Add(folders[currentIndex].files, entry);
          break;
        case platform::EntryKind::LinkedFolder:
          break;
      }
    }
    FolderCache::Id& kept = folders[currentIndex].files;
    if (cache && kept != FolderCache::kNoFiles) {
      // A folder cut short by STOP or a read error is read again if listed.
      if (complete) {
        kept = cache->End(kept);
      } else {
        cache->Release(kept);
        kept = FolderCache::kNotKept;
      }
    }
  } while (!queue.empty() && host.Continue());
  search.reset();
}

void GetFolderFiles(WalkContext& context, std::string_view path, FolderFiles& files) {
  files.Reset();
  const std::string folderPath = WithSeparator(path, context.separator);
  auto [folder, error] = context.directories.OpenFolder(folderPath);
  if (!folder) {
    context.host.ReportProblem({Problem::Kind::UnreadableFolder, folderPath, error});
    return;
  }
  platform::DirEntry entry;
  while (folder->Next(entry)) {
    if (entry.kind != platform::EntryKind::File) continue;
    files.Add(entry.name, entry.stamp);
  }
  if (folder->error()) {
    context.host.ReportProblem({Problem::Kind::UnreadableFolder, folderPath, folder->error()});
  }
}

}  // namespace vexaro::engine

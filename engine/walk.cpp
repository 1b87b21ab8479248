#include "engine/walk.h"

#include <algorithm>
#include <utility>

#include "engine/folder_opener.h"
#include "engine/folder_tree.h"
#include "engine/listing_cursor.h"
#include "engine/prefetcher.h"
#include "engine/walk_stores.h"

namespace vexaro::engine {
namespace {

using Index = FolderTree::Index;

// A folder bigger than this is read again by the listing rather than kept:
// reading its sizes and times twice would cost more than its names.
constexpr std::size_t kLargestKeptFolder = std::size_t{4} << 20;

}  // namespace

struct FolderWalk::Impl {
  explicit Impl(WalkContext context);

  bool Continue();  // yields, then reads the stop request
  void Report(Problem::Kind kind, std::string_view path, std::error_code error = {});
  // What a walk read tells the tree, as soon as it is taken.
  void Learn(Index folder, WalkResult& read);
  // The walk's step at `folder`; false when stopped.
  bool WalkStep(const ListingCursor& at, Index folder);
  void Keep(Index folder, WalkResult& read);
  // The listing's step at `folder`; false when stopped.
  bool ListStep(const ListingCursor& at, Index folder, const std::function<void(const Listed&)>& visit);

  WalkContext context;
  // Shared out once, when the walk is made: the descriptors a process may
  // open are what limits it, and the walk holds most of those it uses.
  FolderBudget budget;
  FolderTree tree;
  KeptFiles kept;
  FolderIds visited;
  FolderOpener opener;
  ReadSettings settings;
  std::string root;               // the start folder with its separator
  std::size_t relativeStart = 0;  // the length of the start folder's path as given
  std::size_t cacheUsed = 0;
  engine::KeepGoing keepGoing;
  // Last: its workers stop before anything they may read goes.
  Prefetcher prefetch;
};

FolderWalk::Impl::Impl(WalkContext context)
    : context(std::move(context)),
      budget(ShareOpenFolders(this->context.directories.FoldersLeftToOpen())),
      tree(this->context.separator),
      opener(tree, this->context.directories, budget.held),
      keepGoing([this] { return Continue(); }),
      prefetch(tree, opener, settings, this->context.options.threads, budget.readsAhead,
               [this](Index folder, WalkResult& read) { Learn(folder, read); }) {
  settings.wanted = this->context.options.wanted;
  settings.fileBudget = std::min(this->context.options.cacheBudget, kLargestKeptFolder);
}

bool FolderWalk::Impl::Continue() {
  context.host.progress.Yield();
  return !context.host.stop.Requested();
}

void FolderWalk::Impl::Report(Problem::Kind kind, std::string_view path, std::error_code error) {
  if (context.host.problems != nullptr) context.host.problems->ReportProblem({kind, path, error});
}

void FolderWalk::Impl::Learn(Index folder, WalkResult& read) {
  if (!tree.id(folder) && read.id) tree.SetId(folder, *read.id);
  if (read.handle) opener.Remember(folder, std::move(read.handle));
  // A loop: what lies below has been met already.
  if (read.outcome == ReadOutcome::Read && tree.id(folder) && visited.Contains(*tree.id(folder))) {
    read.folders.clear();
  }
  tree.AddSubfolders(folder, read.folders);
  read.folders = {};
}

bool FolderWalk::Impl::WalkStep(const ListingCursor& at, Index folder) {
  prefetch.TopUp(at);
  std::optional<WalkResult> read = prefetch.TakeWalk(folder, keepGoing);
  if (!read) return false;
  const std::string_view path = at.path();
  switch (read->outcome) {
    case ReadOutcome::Read:
      break;
    case ReadOutcome::Changed:
      tree.SetUnlistable(folder);
      Report(Problem::Kind::ChangedFolder, path, read->error);
      return true;
    case ReadOutcome::Unreadable:
      tree.SetUnlistable(folder);
      Report(Problem::Kind::UnreadableFolder, path, read->error);
      return true;
  }
  if (const auto& id = tree.id(folder)) {
    const auto mount = static_cast<std::uint32_t>(read->mount);
    if (const std::optional<std::uint32_t> firstMount = visited.Insert(*id, mount)) {
      tree.SetUnlistable(folder);
      tree.DropBelow(folder, [this](Index below) { prefetch.Forget(below); });
      // Met again under another mount, it is a bind mount: listed where it
      // was met first. Under the same mount it can only have been moved
      // here during the walk, and whatever stood here before is not listed.
      const bool moved = read->mount != 0 && *firstMount == mount;
      Report(moved ? Problem::Kind::ChangedFolder : Problem::Kind::FolderLoop, path);
      return true;
    }
  }
  if (read->error) {
    // Cut short: what was found is walked; the listing reads it again.
    Report(Problem::Kind::UnreadableFolder, path, read->error);
    return true;
  }
  Keep(folder, *read);
  return true;
}

void FolderWalk::Impl::Keep(Index folder, WalkResult& read) {
  const std::size_t budget = context.options.cacheBudget;
  if (!settings.keepFiles || !read.collected) {
    // A folder without files needs no second read.
    if (read.filesSeen == 0) tree.SetKept(folder, kept.Keep(FileRecords()));
    return;
  }
  const std::size_t cost = read.files.recordBytes() + read.files.count() * sizeof(FileRecords::Ref);
  if (cacheUsed + cost > budget) {
    settings.keepFiles = false;  // kept folders stay a prefix of the listing order
    return;
  }
  cacheUsed += cost;
  settings.fileBudget = std::min(budget - cacheUsed, kLargestKeptFolder);
  tree.SetKept(folder, kept.Keep(std::move(read.files)));
}

bool FolderWalk::Impl::ListStep(const ListingCursor& at, Index folder,
                                const std::function<void(const Listed&)>& visit) {
  prefetch.TopUp(at);
  if (!tree.listable(folder)) return true;
  const std::string_view path = at.path();
  if (const std::uint32_t id = tree.kept(folder); id != FolderTree::kNone) {
    visit({path, relativeStart, kept.Get(id)});
    kept.Release(id);  // listed once: the memory goes
    return true;
  }
  std::optional<ListResult> read = prefetch.TakeListing(folder, keepGoing);
  if (!read) return false;
  switch (read->outcome) {
    case ReadOutcome::Changed:
      Report(Problem::Kind::ChangedFolder, path, read->error);
      return true;
    case ReadOutcome::Unreadable:
      Report(Problem::Kind::UnreadableFolder, path, read->error);
      return true;
    case ReadOutcome::Read:
      break;
  }
  if (read->handle) opener.Remember(folder, std::move(read->handle));  // a base for its subfolders' reads
  if (read->error) Report(Problem::Kind::UnreadableFolder, path, read->error);
  visit({path, relativeStart, read->files});
  return true;
}

FolderWalk::FolderWalk(WalkContext context) : impl_(std::make_unique<Impl>(std::move(context))) {}

FolderWalk::~FolderWalk() = default;

void FolderWalk::GetSubFolders(const std::string& Path) {
  Impl& w = *impl_;
  const char separator = w.context.separator;
  w.root = Path;
  w.relativeStart = Path.size();
  if (w.root.empty() || w.root.back() != separator) w.root.push_back(separator);
  w.tree.Reset();
  w.opener.SetRoot(w.root);
  w.prefetch.Begin(Prefetcher::Pass::Walk);

  ListingCursor cursor(w.tree, w.root);
  if (w.WalkStep(cursor, FolderTree::kRoot)) {
    std::string shown = w.root;
    while (w.Continue()) {
      const auto next = cursor.Next();
      if (!next) break;
      w.context.host.progress.DispListFile(shown);
      if (!w.WalkStep(cursor, *next)) break;
      shown = cursor.path();
    }
  }
  w.prefetch.End();
}

bool FolderWalk::ListFolders(const std::function<void(const Listed&)>& visit) {
  Impl& w = *impl_;
  w.prefetch.Begin(Prefetcher::Pass::Listing);
  ListingCursor cursor(w.tree, w.root);
  bool completed = true;
  for (std::optional<Index> folder = FolderTree::kRoot; folder; folder = cursor.Next()) {
    if (!w.Continue()) {
      completed = false;
      break;
    }
    w.context.host.progress.DispListFile(cursor.path());
    if (!w.ListStep(cursor, *folder, visit)) {
      completed = false;
      break;
    }
  }
  w.prefetch.End();
  w.opener.Clear();
  return completed;
}

}  // namespace vexaro::engine

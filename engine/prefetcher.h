#pragma once
// Reads folders ahead of a pass of the walk, on the read pool's threads, and
// hands each read to the pass in its turn, so that what the pass does never
// depends on how many threads there are.
//
// Each folder has one state in a pass (FolderState). What is worth reading
// ahead is the pass's policy:
// - the walk reads every folder (its subfolders, and its files while the
//   walk keeps them), and looks ahead again from where it stands each time,
//   since the folders below a folder read meanwhile are known now;
// - the listing reads the folders the walk did not keep, and goes on looking
//   from where it stopped, since it knows every folder.
// Either reads ahead only near a folder still held, where opening the way
// down costs an open or two; the pass itself gets everywhere cheaply. The
// lines are made by the pass: handing them over cost more than making them.
//
// Threads: the engine's thread only. The workers see nothing of it but the
// jobs it submits, which hold copies and shared folder handles.

#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "engine/folder_opener.h"
#include "engine/folder_read.h"
#include "engine/folder_tree.h"
#include "engine/listing_cursor.h"
#include "engine/read_pool.h"

namespace vexaro::engine {

// What the reads of both passes collect. The walk changes `keepFiles` and
// `fileBudget` as it keeps files.
struct ReadSettings {
  platform::StampFields wanted;       // what the listing shows
  bool keepFiles = true;              // false once the walk keeps no more: names only
  std::size_t fileBudget = SIZE_MAX;  // bytes of one folder's files the walk may still keep
};

class Prefetcher {
 public:
  using Index = FolderTree::Index;
  enum class Pass { Walk, Listing };
  // Told of every walk read as it leaves the pool, in turn or ahead of it,
  // so that the tree learns the subfolders at once.
  using Learn = std::function<void(Index, WalkResult&)>;

  // At most `readsAhead` reads are ahead at a time, queued, running or done
  // (ShareOpenFolders); fewer than two leave no room for workers.
  Prefetcher(const FolderTree& tree, FolderOpener& opener, const ReadSettings& settings, unsigned threads,
             std::size_t readsAhead, Learn learn);

  bool threaded() const { return pool_.threaded(); }

  // Every folder unread (the listing: every listable one).
  void Begin(Pass pass);
  // Drops whatever is still read ahead.
  void End();

  // Submits reads of the folders after `at`, as the pass wants them.
  void TopUp(const ListingCursor& at);
  // The folders below a loop: whatever is read of them goes.
  void Forget(Index folder);

  // The reads of a folder in its turn, done now unless a worker has them;
  // nullopt when stopped.
  std::optional<WalkResult> TakeWalk(Index folder, const KeepGoing& keepGoing);
  std::optional<ListResult> TakeListing(Index folder, const KeepGoing& keepGoing);

 private:
  struct Unread {};
  struct InFlight {
    ReadPool::Ticket ticket;
  };
  struct Ready {
    std::unique_ptr<ReadResult> read;  // taken ahead of its turn, or a failed open
  };
  struct Done {};
  struct Skipped {};
  using FolderState = std::variant<Unread, InFlight, Ready, Done, Skipped>;

  FolderState& StateOf(Index folder);
  bool Wanted(Index folder);
  // Submits the read the pass wants of `folder`; a folder that cannot be
  // opened is Ready at once with its failure.
  void Submit(Index folder);
  // The walk's read of `folder`, if a worker has finished it.
  void TakeEarly(Index folder);
  // What the folder's read came to, in its turn.
  ReadResult TakeInTurn(Index folder, const KeepGoing& keepGoing);

  const FolderTree& tree_;
  FolderOpener& opener_;
  const ReadSettings& settings_;
  Learn learn_;
  Pass pass_ = Pass::Walk;
  std::vector<FolderState> states_;
  std::size_t readyBytes_ = 0;  // what the reads taken ahead hold
  ListingCursor ahead_;         // where the last look ahead stopped
  bool aheadSet_ = false;
  std::size_t quietUntil_ = 0;  // no look ahead before the pass gets there
  std::size_t readsAhead_;
  // Last: the workers stop before anything they may read goes.
  ReadPool pool_;
};

}  // namespace vexaro::engine

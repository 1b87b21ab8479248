#include "engine/prefetcher.h"

#include <algorithm>
#include <utility>

namespace vexaro::engine {
namespace {

// Read-ahead bounds: reads queued or running per thread, reads done and not
// yet taken, the bytes these hold, and folders looked at per top-up.
constexpr std::size_t kInFlightPerThread = 64;
constexpr std::size_t kAheadDone = 256;
constexpr std::size_t kAheadBytes = std::size_t{8} << 20;
constexpr int kScanBudget = 1024;
// Folders the pass goes on by after a look ahead that found nothing to read.
constexpr std::size_t kQuietSteps = 64;

template <class Result>
Result Failed(const FolderOpener::Opened& opened) {
  Result result;
  result.outcome = opened.changed ? ReadOutcome::Changed : ReadOutcome::Unreadable;
  result.error = opened.error;
  return result;
}

}  // namespace

Prefetcher::Prefetcher(const FolderTree& tree, FolderOpener& opener, const ReadSettings& settings, unsigned threads,
                       std::size_t readsAhead, Learn learn)
    : tree_(tree),
      opener_(opener),
      settings_(settings),
      learn_(std::move(learn)),
      ahead_(tree, {}),
      readsAhead_(readsAhead),
      pool_(readsAhead < 2 ? 1 : ReadPool::ThreadsFor(threads), ReadPool::MostThreadsFor(threads)) {}

void Prefetcher::Begin(Pass pass) {
  pass_ = pass;
  states_.clear();
  states_.resize(tree_.size());
  if (pass == Pass::Listing) {
    for (Index folder = 0; folder < tree_.size(); ++folder) {
      if (!tree_.listable(folder)) states_[folder] = Skipped{};
    }
  }
  readyBytes_ = 0;
  aheadSet_ = false;
  quietUntil_ = 0;
}

void Prefetcher::End() {
  pool_.DropAll();
  states_.clear();
  readyBytes_ = 0;
}

Prefetcher::FolderState& Prefetcher::StateOf(Index folder) {
  // The walk adds folders as it reads.
  if (folder >= states_.size()) states_.resize(tree_.size());
  return states_[folder];
}

bool Prefetcher::Wanted(Index folder) {
  if (!std::holds_alternative<Unread>(StateOf(folder))) return false;
  // The listing reads only what the walk did not keep.
  if (pass_ == Pass::Listing && tree_.kept(folder) != FolderTree::kNone) return false;
  return opener_.NearHeld(tree_.parent(folder));
}

void Prefetcher::Submit(Index folder) {
  // The reader opens the folder from its parent's handle, so that the
  // engine's thread spends no system call on it in the usual case.
  FolderSource source;
  FolderOpener::Opened opened;
  if (folder == FolderTree::kRoot) {
    opened = opener_.OpenAnew(folder);
    source.folder = opened.folder;
  } else {
    opened = opener_.Open(tree_.parent(folder));
    source.parent = opened.folder;
    source.name = tree_.name(folder);
  }
  if (!opened.folder) {
    StateOf(folder) = Ready{std::make_unique<ReadResult>(pass_ == Pass::Walk ? ReadResult(Failed<WalkResult>(opened))
                                                                             : ReadResult(Failed<ListResult>(opened)))};
    return;
  }
  source.expected = tree_.id(folder);
  ReadJob job;
  if (pass_ == Pass::Walk) {
    // Once the walk keeps no more, the listing reads these folders again
    // anyway: names only.
    job = WalkRead{std::move(source), settings_.keepFiles ? settings_.wanted : platform::StampFields{},
                   settings_.keepFiles, settings_.fileBudget};
  } else {
    job = ListRead{std::move(source), settings_.wanted};
  }
  StateOf(folder) = InFlight{pool_.Submit(std::move(job))};
}

void Prefetcher::TakeEarly(Index folder) {
  const auto* inFlight = std::get_if<InFlight>(&StateOf(folder));
  if (inFlight == nullptr) return;
  std::optional<ReadResult> read = pool_.TakeIfDone(inFlight->ticket);
  if (!read) return;
  if (auto* walk = std::get_if<WalkResult>(&*read)) {
    learn_(folder, *walk);
    readyBytes_ += walk->bytes();
  }
  StateOf(folder) = Ready{std::make_unique<ReadResult>(std::move(*read))};
}

void Prefetcher::TopUp(const ListingCursor& at) {
  if (!pool_.threaded() || at.position() < quietUntil_) return;
  const ReadPool::Load load = pool_.load();
  // Reads done and not yet taken hold their folders open too.
  const std::size_t most =
      std::min(kInFlightPerThread * pool_.threads(), readsAhead_ - std::min(readsAhead_, load.done));
  // Topped up in batches, once half the reads are done: a worker woken for
  // one read would cost more than the read.
  if (load.inFlight > most / 2 || load.done >= kAheadDone || load.doneBytes + readyBytes_ >= kAheadBytes) return;
  // The walk looks again from where the pass stands, since the folders below
  // a folder read meanwhile are known now; the listing knows every folder
  // and goes on from where it stopped looking.
  if (pass_ == Pass::Walk || !aheadSet_ || ahead_.position() < at.position()) {
    ahead_ = at;
    ahead_.TrackPaths(false);
    aheadSet_ = true;
  }
  std::size_t inFlight = load.inFlight;
  for (int budget = kScanBudget; budget > 0 && inFlight < most; --budget) {
    // The walk steps into a folder read ahead, so that its subfolders are
    // read meanwhile; one not read yet is stepped over.
    const auto next = ahead_.Next([this](Index below) {
      if (pass_ == Pass::Walk) TakeEarly(below);
    });
    if (!next) break;
    if (!Wanted(*next)) continue;
    Submit(*next);
    ++inFlight;
  }
  if (inFlight != load.inFlight) {
    pool_.Wake();
  } else {
    // Nothing worth reading ahead: looking again at once would find the same.
    quietUntil_ = at.position() + kQuietSteps;
  }
}

void Prefetcher::Forget(Index folder) {
  FolderState& state = StateOf(folder);
  if (const auto* inFlight = std::get_if<InFlight>(&state)) pool_.Drop(inFlight->ticket);
  if (const auto* ready = std::get_if<Ready>(&state)) {
    if (const auto* walk = std::get_if<WalkResult>(ready->read.get()))
      readyBytes_ -= std::min(readyBytes_, walk->bytes());
  }
  state = Skipped{};
}

ReadResult Prefetcher::TakeInTurn(Index folder, const KeepGoing& keepGoing) {
  FolderState& state = StateOf(folder);
  ReadResult read;
  if (const auto* inFlight = std::get_if<InFlight>(&state)) {
    read = pool_.Take(inFlight->ticket, keepGoing);
    if (auto* walk = std::get_if<WalkResult>(&read)) learn_(folder, *walk);
  } else if (auto* ready = std::get_if<Ready>(&state)) {
    read = std::move(*ready->read);
    if (const auto* walk = std::get_if<WalkResult>(&read)) readyBytes_ -= std::min(readyBytes_, walk->bytes());
  }
  StateOf(folder) = Done{};
  return read;
}

std::optional<WalkResult> Prefetcher::TakeWalk(Index folder, const KeepGoing& keepGoing) {
  if (std::holds_alternative<Unread>(StateOf(folder))) Submit(folder);
  ReadResult read = TakeInTurn(folder, keepGoing);
  if (auto* walk = std::get_if<WalkResult>(&read)) return std::move(*walk);
  return std::nullopt;
}

std::optional<ListResult> Prefetcher::TakeListing(Index folder, const KeepGoing& keepGoing) {
  if (std::holds_alternative<Unread>(StateOf(folder))) Submit(folder);
  ReadResult read = TakeInTurn(folder, keepGoing);
  if (auto* list = std::get_if<ListResult>(&read)) return std::move(*list);
  return std::nullopt;
}

}  // namespace vexaro::engine

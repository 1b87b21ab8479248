#include "engine/walk.h"

#include <algorithm>
#include <utility>

#include "engine/sort.h"

namespace vexaro::engine {
namespace {

// Handles kept as bases for opening subfolders. Few are needed: the next
// folder's parent is nearly always one of the last opened.
constexpr std::size_t kHeld = 64;
// Read-ahead bounds: reads queued or running per worker, reads done and not
// yet taken, the bytes these hold, and entries looked at per top-up.
constexpr std::size_t kInFlightPerWorker = 16;
constexpr std::size_t kAheadDone = 256;
constexpr std::size_t kAheadBytes = std::size_t{8} << 20;
constexpr int kScanBudget = 1024;
constexpr std::size_t kLargestKeptFolder = std::size_t{4} << 20;

struct OrderKey {
  std::string key;
  std::uint32_t code;
};
std::string_view SortKey(const OrderKey& k) noexcept { return k.key; }

}  // namespace

FolderWalk::FolderWalk(WalkContext context)
    : context_(context),
      held_(kHeld),
      pool_(ReadPool::WorkersFor(context.options.workers), ReadPool::MostWorkersFor(context.options.workers)) {}

FolderWalk::~FolderWalk() = default;

void FolderWalk::Report(const Problem& problem) {
  if (context_.host.problems != nullptr) context_.host.problems->ReportProblem(problem);
}

bool FolderWalk::KeepGoing() {
  context_.host.progress.Yield();
  return !context_.host.stop.Requested();
}

std::shared_ptr<platform::Folder> FolderWalk::OpenVerified(std::uint32_t node, std::error_code& error, bool& changed) {
  // The start folder: by its path, as the user gave it.
  const Node& n = nodes_[node];
  platform::OpenResult opened;
  if (n.parent == kNone) {
    opened = context_.directories.OpenFolder(root_);
  } else {
    const auto parent = Acquire(n.parent, error, changed);
    if (!parent) return nullptr;
    opened = parent->OpenChild(NameOf(n));
  }
  if (!opened.folder) {
    error = opened.error;
    changed = IsChange(error);
    return nullptr;
  }
  if (n.hasId && opened.folder->id() != n.id) {
    changed = true;
    return nullptr;
  }
  std::shared_ptr<platform::Folder> handle = std::move(opened.folder);
  held_.Remember(node, handle);
  return handle;
}

std::shared_ptr<platform::Folder> FolderWalk::Acquire(std::uint32_t node, std::error_code& error, bool& changed) {
  if (auto handle = held_.Find(node)) return handle;
  // Going back up from the folder opened last costs one open per level, and
  // each level is gone back up through once.
  if (cursor_ != kNone && nodes_[cursor_].depth > nodes_[node].depth) {
    std::uint32_t above = cursor_;
    while (nodes_[above].depth > nodes_[node].depth) above = nodes_[above].parent;
    auto handle = above == node ? held_.Find(cursor_) : nullptr;
    for (std::uint32_t at = cursor_; handle && at != node;) {
      const std::uint32_t parent = nodes_[at].parent;
      auto opened = handle->OpenParent();
      if (!opened.folder || !nodes_[parent].hasId || opened.folder->id() != nodes_[parent].id) {
        handle.reset();
        break;
      }
      handle = std::move(opened.folder);
      held_.Remember(parent, handle);
      at = parent;
    }
    if (handle) return handle;
  }
  // Down from the nearest ancestor still held.
  std::vector<std::uint32_t> missing;
  for (std::uint32_t at = node; at != kNone && !held_.Contains(at); at = nodes_[at].parent) missing.push_back(at);
  std::shared_ptr<platform::Folder> handle;
  while (!missing.empty()) {
    handle = OpenVerified(missing.back(), error, changed);
    if (!handle) return nullptr;
    missing.pop_back();
  }
  return handle ? handle : held_.Find(node);
}

bool FolderWalk::NearHeld(std::uint32_t node) const {
  constexpr int kMostOpens = 2;
  for (int opens = 0; node != kNone; node = nodes_[node].parent, ++opens) {
    if (held_.Contains(node)) return true;
    if (opens == kMostOpens) return false;
  }
  return true;  // the start folder, opened by its path
}

bool FolderWalk::FormatsAhead(const Node& node) const {
  if (!context_.options.lines || !pool_.threaded()) return false;
  if (node.cached == kNone) return true;
  const FileRecords& files = kept_.Get(node.cached);
  return !files.empty() && files.recordBytes() <= kLargestFormattedAhead;
}

bool FolderWalk::Submit(std::uint32_t node, Pass pass, std::string_view path) {
  ReadRequest request;
  if (pass == Pass::List && FormatsAhead(nodes_[node])) {
    request.lines = &context_.options.lines;
    request.path = path;
    request.relativeStart = givenSize_;
    if (nodes_[node].cached != kNone) {
      // Kept by the walk: only the lines to make.
      request.kept = &kept_.Get(nodes_[node].cached);
      nodes_[node].ticket = pool_.Submit(std::move(request));
      return true;
    }
  }
  // The reader opens the folder from its parent's handle, so that the
  // engine's thread spends no system call on it in the usual case.
  std::error_code error;
  bool changed = false;
  const std::uint32_t parent = nodes_[node].parent;
  if (parent == kNone) {
    request.folder = OpenVerified(node, error, changed);
  } else {
    request.parent = Acquire(parent, error, changed);
    request.name = NameOf(nodes_[node]);
  }
  Node& n = nodes_[node];
  if (!request.folder && !request.parent) {
    FolderRead failed;
    failed.outcome = changed ? FolderRead::Outcome::Changed : FolderRead::Outcome::Unreadable;
    failed.error = error;
    early_[node] = std::move(failed);
    n.ticket = 0;
    if (pass == Pass::Walk) n.state = State::Absorbed;
    return true;
  }
  if (n.hasId) request.expected = n.id;
  request.wanted = context_.options.wanted;
  if (pass == Pass::Walk && cacheFull_) {
    // Nothing more is kept: the listing reads these folders again anyway.
    request.wanted = {};
    request.files = false;
  }
  request.folders = pass == Pass::Walk;
  if (pass == Pass::Walk) {
    // A folder bigger than this is read again by the listing rather than
    // kept: reading its sizes and times twice would cost more than its names.
    const std::size_t left = context_.options.cacheBudget - std::min(cacheUsed_, context_.options.cacheBudget);
    request.fileBudget = std::min(left, kLargestKeptFolder);
  }
  n.ticket = pool_.Submit(std::move(request));
  if (pass == Pass::Walk) n.state = State::Submitted;
  return true;
}

void FolderWalk::Absorb(std::uint32_t node, FolderRead& read) {
  Node& n = nodes_[node];
  n.state = State::Absorbed;
  n.ticket = 0;
  if (!n.hasId && read.id) {
    n.id = *read.id;
    n.hasId = true;
  }
  if (read.handle) {
    held_.Remember(node, read.handle);
    cursor_ = node;
  }
  if (read.outcome == FolderRead::Outcome::Read && n.hasId && visited_.Contains(n.id)) {
    read.folders.clear();  // a loop: what lies below has been met already
  }
  if (!read.folders.empty()) {
    std::vector<OrderKey> keys;
    keys.reserve(2 * read.folders.size());
    for (std::string& name : read.folders) {
      const auto child = static_cast<std::uint32_t>(nodes_.size());
      Node& c = nodes_.emplace_back();
      c.parent = node;
      c.depth = nodes_[node].depth + 1;
      c.nameAt = static_cast<std::uint32_t>(names_.size());
      c.nameSize = static_cast<std::uint32_t>(name.size());
      names_.append(name);
      keys.push_back({name, child << 1});
      name.push_back(context_.separator);
      keys.push_back({std::move(name), (child << 1) | 1});
    }
    SortArray(keys, [] {});
    Node& self = nodes_[node];
    self.orderAt = static_cast<std::uint32_t>(order_.size());
    self.orderSize = static_cast<std::uint32_t>(keys.size());
    for (const OrderKey& key : keys) order_.push_back(key.code);
  }
  read.folders = {};
  read.handle.reset();
}

void FolderWalk::DropSubtree(std::uint32_t node) {
  std::vector<std::uint32_t> pending{node};
  while (!pending.empty()) {
    Node& n = nodes_[pending.back()];
    pending.pop_back();
    for (std::uint32_t i = 0; i < n.orderSize; ++i) {
      const std::uint32_t code = order_[n.orderAt + i];
      if (code & 1) continue;
      const std::uint32_t child = code >> 1;
      Node& c = nodes_[child];
      if (c.ticket != 0) pool_.Drop(c.ticket);
      if (const auto it = early_.find(child); it != early_.end()) {
        earlyBytes_ -= it->second.bytes();
        early_.erase(it);
      }
      c.ticket = 0;
      c.state = State::Skipped;
      c.listable = false;
      pending.push_back(child);
    }
    n.orderSize = 0;
  }
}

std::optional<std::uint32_t> FolderWalk::Advance() {
  while (!frames_.empty()) {
    Frame& frame = frames_.back();
    const Node& n = nodes_[frame.node];
    if (frame.pos >= n.orderSize) {
      frames_.pop_back();
      if (!frames_.empty()) path_.resize(frames_.back().pathSize);
      continue;
    }
    const std::uint32_t code = order_[n.orderAt + frame.pos++];
    const std::uint32_t child = code >> 1;
    const Node& c = nodes_[child];
    if ((code & 1) == 0) {
      if (c.state == State::Skipped) continue;
      current_.assign(path_).append(NameOf(c)).push_back(context_.separator);
      return child;
    }
    if (c.orderSize == 0) continue;
    path_.append(NameOf(c)).push_back(context_.separator);
    frames_.push_back({child, 0, path_.size()});
  }
  return std::nullopt;
}

void FolderWalk::TopUp(Pass pass) {
  if (!pool_.threaded()) return;
  const ReadPool::Load load = pool_.load();
  std::size_t inFlight = load.inFlight;
  const std::size_t maxInFlight = kInFlightPerWorker * pool_.workers();
  // Topped up in batches, once half the reads are done: a worker woken for
  // one read would cost more than the read.
  if (inFlight > maxInFlight / 2 || load.done >= kAheadDone || load.doneBytes + earlyBytes_ >= kAheadBytes) return;
  struct WakeAtEnd {
    ReadPool& pool;
    std::size_t before;
    const std::size_t& after;
    ~WakeAtEnd() {
      if (after != before) pool.Wake();
    }
  } wake{pool_, inFlight, inFlight};
  // A second cursor that runs ahead of the pass without moving it. Folders
  // whose subfolders are not known yet are stepped over, so that their
  // siblings are read meanwhile.
  scan_.clear();
  std::size_t real = frames_.size();
  std::uint32_t realPos = real != 0 ? frames_[real - 1].pos : 0;
  // The listing's reads make the lines too, which name the folder: the scan
  // keeps the path of where it stands.
  const bool paths = pass == Pass::List;
  if (paths) scanPath_ = path_;
  for (int budget = kScanBudget; budget > 0; --budget) {
    std::uint32_t at;
    std::uint32_t* pos;
    if (!scan_.empty()) {
      at = scan_.back().node;
      pos = &scan_.back().pos;
    } else if (real != 0) {
      at = frames_[real - 1].node;
      pos = &realPos;
    } else {
      return;
    }
    if (*pos >= nodes_[at].orderSize) {
      if (!scan_.empty()) {
        scan_.pop_back();
      } else if (--real != 0) {
        realPos = frames_[real - 1].pos;
      }
      if (paths) scanPath_.resize(!scan_.empty() ? scan_.back().pathSize : real != 0 ? frames_[real - 1].pathSize : 0);
      continue;
    }
    const std::uint32_t code = order_[nodes_[at].orderAt + (*pos)++];
    const std::uint32_t child = code >> 1;
    if ((code & 1) == 0) {
      const Node& c = nodes_[child];
      const bool wanted = pass == Pass::Walk ? c.state == State::Unread
                                             : c.listable && c.ticket == 0 && !early_.contains(child) &&
                                                   (c.cached == kNone || FormatsAhead(c));
      // Read ahead only near a folder still held: opening the way down to
      // the parent again could cost an open per level, however deep, and the
      // pass gets there cheaply.
      const bool opens = pass == Pass::Walk || c.cached == kNone;
      if (wanted && opens && !NearHeld(c.parent)) continue;
      if (wanted) {
        if (paths) {
          const std::size_t size = scanPath_.size();
          scanPath_.append(NameOf(c)).push_back(context_.separator);
          Submit(child, pass, scanPath_);
          scanPath_.resize(size);
        } else {
          Submit(child, pass);
        }
        if (++inFlight >= maxInFlight) return;
      }
      continue;
    }
    if (pass == Pass::Walk) {
      if (nodes_[child].state == State::Submitted) {
        // Absorb adds nodes: no reference into nodes_ may be held across it.
        if (auto read = pool_.TakeIfDone(nodes_[child].ticket)) {
          Absorb(child, *read);
          earlyBytes_ += read->bytes();
          early_[child] = std::move(*read);
        }
      }
      const State state = nodes_[child].state;
      if (state != State::Absorbed && state != State::Consumed) continue;
    }
    if (nodes_[child].orderSize != 0) {
      if (paths) scanPath_.append(NameOf(nodes_[child])).push_back(context_.separator);
      scan_.push_back({child, 0, scanPath_.size()});
    }
  }
}

FolderRead FolderWalk::TakeListed(std::uint32_t node) {
  // A failed open leaves its outcome in early_; anything else is in the pool.
  if (nodes_[node].ticket == 0 && !early_.contains(node)) Submit(node, Pass::List, current_);
  if (const auto it = early_.find(node); it != early_.end()) {
    FolderRead read = std::move(it->second);
    early_.erase(it);
    return read;
  }
  return pool_.Take(nodes_[node].ticket, [this] { return KeepGoing(); });
}

void FolderWalk::GetSubFolders(const std::string& Path) {
  ProgressDisplay& progress = context_.host.progress;
  root_ = Path;
  givenSize_ = Path.size();
  if (root_.empty() || root_.back() != context_.separator) root_.push_back(context_.separator);
  nodes_.assign(1, Node{});
  frames_.clear();
  path_ = root_;
  current_ = root_;

  // Takes the read of `node` in its turn and keeps what the listing needs.
  auto consume = [&](std::uint32_t node) {
    TopUp(Pass::Walk);
    if (nodes_[node].state == State::Unread) Submit(node, Pass::Walk);
    FolderRead read;
    if (nodes_[node].state == State::Submitted) {
      read = pool_.Take(nodes_[node].ticket, [this] { return KeepGoing(); });
      if (read.outcome == FolderRead::Outcome::Stopped) return false;
      Absorb(node, read);
    } else {
      // Read ahead, or failed to open.
      const auto it = early_.find(node);
      read = std::move(it->second);
      early_.erase(it);
      earlyBytes_ -= read.bytes();
    }
    Node& n = nodes_[node];
    n.state = State::Consumed;
    switch (read.outcome) {
      case FolderRead::Outcome::Read:
        break;
      case FolderRead::Outcome::Changed:
        n.listable = false;
        Report({Problem::Kind::ChangedFolder, current_, read.error});
        return true;
      default:
        n.listable = false;
        Report({Problem::Kind::UnreadableFolder, current_, read.error});
        return true;
    }
    if (n.hasId && !visited_.Insert(n.id)) {
      n.listable = false;
      DropSubtree(node);
      Report({Problem::Kind::FolderLoop, current_, {}});
      return true;
    }
    if (read.error) {
      // Cut short: what was found is walked; the listing reads it again.
      Report({Problem::Kind::UnreadableFolder, current_, read.error});
      return true;
    }
    if (cacheFull_ || !read.collected) {
      // A folder without files needs no second read.
      if (read.filesSeen == 0) n.cached = kept_.Keep(FileRecords());
      return true;
    }
    const std::size_t cost = read.files.recordBytes() + read.files.count() * sizeof(FileRecords::Ref);
    if (cacheUsed_ + cost > context_.options.cacheBudget) {
      cacheFull_ = true;  // kept folders stay a prefix of the listing order
      return true;
    }
    cacheUsed_ += cost;
    n.cached = kept_.Keep(std::move(read.files));
    return true;
  };

  if (!consume(0)) return;
  frames_.push_back({0, 0, root_.size()});
  std::string shown = current_;
  while (KeepGoing()) {
    const auto next = Advance();
    if (!next) break;
    progress.DispListFile(shown);
    if (!consume(*next)) break;
    shown = current_;
  }
  pool_.DropAll();
  for (Node& n : nodes_) n.ticket = 0;
  early_.clear();
  earlyBytes_ = 0;
}

bool FolderWalk::ListFolders(const std::function<void(const Listed&)>& visit) {
  ProgressDisplay& progress = context_.host.progress;
  frames_.clear();
  path_ = root_;
  current_ = root_;
  bool first = true;
  bool completed = true;
  while (true) {
    std::uint32_t node = 0;
    if (!first) {
      const auto next = Advance();
      if (!next) break;
      node = *next;
    }
    if (!KeepGoing()) {
      completed = false;
      break;
    }
    progress.DispListFile(current_);
    TopUp(Pass::List);
    Node& n = nodes_[node];
    if (n.listable && n.cached != kNone) {
      if (n.ticket != 0) {
        // A worker makes its lines, or has made them.
        FolderRead made = pool_.Take(n.ticket, [this] { return KeepGoing(); });
        nodes_[node].ticket = 0;
        if (made.outcome == FolderRead::Outcome::Stopped) {
          completed = false;
          break;
        }
        visit({current_, givenSize_, &kept_.Get(n.cached), made.formatted ? &made.text : nullptr, made.unstamped});
      } else {
        visit({current_, givenSize_, &kept_.Get(n.cached)});
      }
      kept_.Release(n.cached);  // listed once: the memory goes
    } else if (n.listable) {
      FolderRead read = TakeListed(node);
      n.ticket = 0;
      switch (read.outcome) {
        case FolderRead::Outcome::Stopped:
          completed = false;
          break;
        case FolderRead::Outcome::Changed:
          Report({Problem::Kind::ChangedFolder, current_, read.error});
          break;
        case FolderRead::Outcome::Unreadable:
          Report({Problem::Kind::UnreadableFolder, current_, read.error});
          break;
        case FolderRead::Outcome::Read:
          if (read.handle) {
            held_.Remember(node, std::move(read.handle));  // a base for its subfolders' reads
            cursor_ = node;
          }
          if (read.error) Report({Problem::Kind::UnreadableFolder, current_, read.error});
          visit({current_, givenSize_, &read.files, read.formatted ? &read.text : nullptr, read.unstamped});
          break;
      }
      if (!completed) break;
    }
    if (first) {
      frames_.push_back({0, 0, root_.size()});
      first = false;
    }
  }
  pool_.DropAll();
  early_.clear();
  earlyBytes_ = 0;
  held_.Clear();
  cursor_ = kNone;
  return completed;
}

}  // namespace vexaro::engine

#pragma once
// The folder tree walk and the file enumeration of each folder.
//
// The walk keeps each folder as (parent, name), never as a full path, so
// memory grows with the number of folders, not with their depth. Every
// folder below the start folder is opened through its parent's handle
// without following links, and when the listing opens it again its identity
// must still be the one the walk recorded: a folder replaced by a link (or by
// anything else) is reported, never followed.
//
// Both passes go through the folders in listing order: the order of their
// full paths under CompareNames, which the tree gives without building the
// paths, since a folder's own path sorts just before the paths below it.
// Worker threads (ReadPool) read folders ahead of that order; the engine
// takes the results in order, so what it shows never depends on them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/folder_read.h"
#include "engine/host.h"
#include "engine/read_pool.h"
#include "engine/walk_stores.h"
#include "platform/file_system.h"

namespace vexaro::engine {

struct WalkOptions {
  platform::StampFields wanted{true, true};         // what the listing shows
  std::size_t cacheBudget = std::size_t{32} << 20;  // bytes of file records the walk keeps for the listing
  unsigned workers = 1;                             // as ReadPool::WorkersFor; 1: none
  // With workers, the listing's lines are made by them, ahead of the
  // listing; empty: the listing makes them all.
  LineMaker lines;
};

struct WalkContext {
  platform::DirectorySearch& directories;
  ListingHost host;
  char separator;
  WalkOptions options = {};
};

class FolderWalk {
 public:
  explicit FolderWalk(WalkContext context);
  ~FolderWalk();
  FolderWalk(const FolderWalk&) = delete;
  FolderWalk& operator=(const FolderWalk&) = delete;

  // Walks the tree below `Path`. Shows each finished folder but the last
  // through DispListFile, yields once per folder, and returns early with what
  // it has found once the stop request is set. Links and junctions to folders
  // are not entered, and a folder met a second time (bind mounts) is not
  // read again.
  void GetSubFolders(const std::string& Path);

  // The files of one folder as the listing gets them.
  struct Listed {
    std::string_view path;              // full path, with its trailing separator
    std::size_t relativeStart;          // where the part below the start folder begins
    const FileRecords* files;           // null when there is nothing to list
    const std::string* text = nullptr;  // the lines of `files`, when a worker made them
    std::size_t unstamped = 0;          // files in `text` without size or time
  };
  // Calls `visit` for every folder the walk found, in listing order, with its
  // files sorted by name (GetFolderFiles), until `visit` returns false.
  // Yields and shows each folder before its files are fetched; reports what
  // cannot be read again to the host. Returns false when stopped.
  bool ListFolders(const std::function<void(const Listed&)>& visit);

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  enum class State : std::uint8_t { Unread, Submitted, Absorbed, Consumed, Skipped };
  struct Node {
    std::uint32_t parent = kNone;
    std::uint32_t depth = 0;
    std::uint32_t nameAt = 0;  // in names_
    std::uint32_t nameSize = 0;
    std::uint32_t orderAt = 0;  // children in listing order, in order_
    std::uint32_t orderSize = 0;
    std::uint32_t cached = kNone;  // in kept_
    State state = State::Unread;
    bool hasId = false;
    bool listable = true;  // false: unreadable, a loop or changed; nothing to list
    platform::FolderId id;
    ReadPool::Ticket ticket = 0;
  };
  struct Frame {
    std::uint32_t node;
    std::uint32_t pos;
    std::size_t pathSize;
  };
  enum class Pass { Walk, List };

  std::string_view NameOf(const Node& node) const { return {names_.data() + node.nameAt, node.nameSize}; }
  std::optional<std::uint32_t> Advance();
  void TopUp(Pass pass);
  // `path`: the folder's, for the lines made with the listing's reads.
  bool Submit(std::uint32_t node, Pass pass, std::string_view path = {});
  bool FormatsAhead(const Node& node) const;
  // Whether `node` is held, or a held folder lies a step or two above it.
  bool NearHeld(std::uint32_t node) const;
  FolderRead TakeListed(std::uint32_t node);  // the listing's read of `node`
  void Absorb(std::uint32_t node, FolderRead& read);
  void DropSubtree(std::uint32_t node);
  std::shared_ptr<platform::Folder> Acquire(std::uint32_t node, std::error_code& error, bool& changed);
  std::shared_ptr<platform::Folder> OpenVerified(std::uint32_t node, std::error_code& error, bool& changed);
  bool KeepGoing();  // yields, then reads the stop request
  void Report(const Problem& problem);

  WalkContext context_;
  std::string root_;           // the start folder with its separator
  std::size_t givenSize_ = 0;  // its length as given: relative paths start there
  std::vector<Node> nodes_;
  std::string names_;
  std::vector<std::uint32_t> order_;  // child << 1, | 1 for the folders below the child
  KeptFiles kept_;
  std::size_t cacheUsed_ = 0;
  bool cacheFull_ = false;
  // Reads taken ahead of their turn, kept until the engine gets there.
  std::unordered_map<std::uint32_t, FolderRead> early_;
  std::size_t earlyBytes_ = 0;
  FolderIds visited_;
  HeldFolders held_;
  std::uint32_t cursor_ = kNone;  // the folder opened last
  // Where the pass stands: the folders whose children it is going through.
  std::vector<Frame> frames_;
  std::string path_;  // full path of frames_.back(), with its separator
  std::string current_;
  std::vector<Frame> scan_;
  std::string scanPath_;
  // Last: the workers stop before anything they may read goes.
  ReadPool pool_;
};

}  // namespace vexaro::engine

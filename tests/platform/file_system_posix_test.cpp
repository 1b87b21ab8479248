#include <fcntl.h>
#include <limits.h>
#include <sys/mount.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include "engine/walk.h"
#include "platform/posix/directory_search.h"
#include "tests/platform/posix_tree.h"
#include "tests/support/recording_host.h"

namespace vexaro::platform::posix {
namespace {

using testing::PosixTree;

struct Listed {
  EntryKind kind = EntryKind::File;
  std::optional<FileStamp> stamp;
};

// Every entry of `path`, by name; fails the test when the folder cannot be
// opened or read.
std::map<std::string, Listed> ReadAll(DirectorySearch& search, const std::string& path) {
  std::map<std::string, Listed> out;
  auto [folder, error] = search.OpenFolder(path);
  EXPECT_TRUE(folder) << path << ": " << error.message();
  if (!folder) return out;
  DirEntry entry;
  while (folder->Next(entry)) {
    EXPECT_TRUE(out.emplace(std::string(entry.name), Listed{entry.kind, entry.stamp}).second)
        << "listed twice: " << entry.name;
  }
  EXPECT_FALSE(folder->error()) << folder->error().message();
  return out;
}

std::vector<std::string> Names(const std::map<std::string, Listed>& listed) {
  std::vector<std::string> names;
  for (const auto& [name, entry] : listed) names.push_back(name);
  return names;
}

class DirectorySearchTest : public ::testing::Test {
 protected:
  std::string Root() const { return tree.root() + "/"; }
  PosixTree tree;
  PosixDirectorySearch search;
};

TEST_F(DirectorySearchTest, NamesInAnyScriptOrEncodingComeBackAsTheyAre) {
  const std::vector<std::string> names = {
      "plain.txt", "日本語のファイル.txt", "한국어 파일.txt", "café déjà vu.txt", "emoji 😀🎉.txt",
      "bytes \xff\xfe not utf-8", "line\nbreak", "README", " leading blank", "-dash",
  };
  for (std::size_t i = 0; i < names.size(); ++i) tree.File(names[i], i * 100 + 1);
  tree.Folder("folder.with.dot");

  const auto listed = ReadAll(search, Root());
  std::vector<std::string> expected = names;
  expected.push_back("folder.with.dot");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(listed), expected);
  EXPECT_EQ(listed.at("folder.with.dot").kind, EntryKind::Folder);

  auto [folder, error] = search.OpenFolder(Root());
  ASSERT_TRUE(folder) << error.message();
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(listed.at(names[i]).kind, EntryKind::File) << names[i];
    const auto stamp = folder->Stat(names[i], {true, false});
    ASSERT_TRUE(stamp) << names[i];
    EXPECT_EQ(stamp->size, i * 100 + 1) << names[i];
  }
}

TEST_F(DirectorySearchTest, LinksAreClassifiedByWhatTheyLeadTo) {
  tree.Folder("sub");
  tree.File("target.bin", 1234);
  tree.Link("to-folder", "sub");
  tree.Link("to-ancestor", "..");
  tree.Link("to-root-absolute", tree.root());
  tree.Link("to-file", "target.bin");
  tree.Link("to-link-to-file", "to-file");
  tree.Link("dangling", "nowhere/at/all");
  tree.Link("loop-a", "loop-b");
  tree.Link("loop-b", "loop-a");

  struct Case {
    const char* name;
    EntryKind kind;
    std::optional<std::uint64_t> size;  // of what the entry stands for
  };
  const Case cases[] = {
      {"to-folder", EntryKind::LinkedFolder, std::nullopt},
      {"to-ancestor", EntryKind::LinkedFolder, std::nullopt},
      {"to-root-absolute", EntryKind::LinkedFolder, std::nullopt},
      {"to-file", EntryKind::File, 1234},
      {"to-link-to-file", EntryKind::File, 1234},
      {"dangling", EntryKind::File, std::string_view("nowhere/at/all").size()},  // the link itself
      {"loop-a", EntryKind::File, std::string_view("loop-b").size()},
      {"loop-b", EntryKind::File, std::string_view("loop-a").size()},
      {"target.bin", EntryKind::File, 1234},
      {"sub", EntryKind::Folder, std::nullopt},
  };
  const auto listed = ReadAll(search, Root());
  auto [folder, error] = search.OpenFolder(Root());
  ASSERT_TRUE(folder) << error.message();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(listed.contains(c.name));
    const Listed& entry = listed.at(c.name);
    EXPECT_EQ(entry.kind, c.kind);
    if (c.kind != EntryKind::File || c.name == std::string_view("target.bin")) continue;
    // A link's stamp comes with the entry, from the same look-up that
    // classified it, and agrees with a later Stat.
    ASSERT_TRUE(entry.stamp);
    EXPECT_EQ(entry.stamp->size, c.size);
    EXPECT_TRUE(entry.stamp->creation && entry.stamp->lastWrite && entry.stamp->lastAccess);
    const auto stamp = folder->Stat(c.name, {true, true});
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->size, c.size);
  }
}

TEST_F(DirectorySearchTest, StatReadsOnlyWhatIsWantedAndNothingOfWhatIsGone) {
  tree.File("kept.txt", 77);
  tree.File("vanishing.txt", 5);
  auto [folder, error] = search.OpenFolder(Root());
  ASSERT_TRUE(folder) << error.message();
  DirEntry entry;
  int count = 0;
  while (folder->Next(entry)) ++count;
  EXPECT_EQ(count, 2);
  ASSERT_EQ(::unlink(tree.Path("vanishing.txt").c_str()), 0);

  struct Case {
    const char* name;
    StampFields wanted;
    bool found, size, times;
  };
  const Case cases[] = {
      {"kept.txt", {true, false}, true, true, false},
      {"kept.txt", {false, true}, true, false, true},
      {"kept.txt", {true, true}, true, true, true},
      {"kept.txt", {false, false}, true, false, false},
      {"vanishing.txt", {true, true}, false, false, false},
      {"never-there", {true, false}, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " size " + std::to_string(c.wanted.size) + " times " +
                 std::to_string(c.wanted.times));
    const auto stamp = folder->Stat(c.name, c.wanted);
    ASSERT_EQ(stamp.has_value(), c.found);
    if (!stamp) continue;
    EXPECT_EQ(stamp->size.has_value(), c.size);
    if (c.size) {
      EXPECT_EQ(*stamp->size, 77u);
    }
    EXPECT_EQ(stamp->creation.has_value(), c.times);
    EXPECT_EQ(stamp->lastWrite.has_value(), c.times);
    EXPECT_EQ(stamp->lastAccess.has_value(), c.times);
  }
}

// Whether the file system that holds `path` keeps birth times.
bool KeepsBirthTime(const std::string& path) {
  struct statx st{};
  return ::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &st) == 0 && (st.stx_mask & STATX_BTIME);
}

TEST_F(DirectorySearchTest, CreationIsTheBirthTimeWhereKeptAndTheLastWriteOtherwise) {
  tree.File("old.txt", 1);
  const timespec times[2] = {{981173106, 0}, {981173106, 0}};  // 2001-02-03 04:05:06 UTC
  ASSERT_EQ(::utimensat(AT_FDCWD, tree.Path("old.txt").c_str(), times, 0), 0);

  struct Case {
    std::string folder;
    std::string name;
  };
  const Case cases[] = {
      {Root(), "old.txt"},
      {"/proc/self/", "status"},  // procfs keeps no birth times
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder + c.name);
    auto [folder, error] = search.OpenFolder(c.folder);
    ASSERT_TRUE(folder) << error.message();
    const auto stamp = folder->Stat(c.name, {false, true});
    ASSERT_TRUE(stamp && stamp->creation && stamp->lastWrite);
    if (KeepsBirthTime(c.folder + c.name)) {
      EXPECT_NE(stamp->creation, stamp->lastWrite) << "birth time expected, not the forged last write";
      EXPECT_GT(stamp->creation->seconds, 981173106);
    } else {
      EXPECT_EQ(stamp->creation, stamp->lastWrite);
    }
  }
  if (KeepsBirthTime(Root() + "old.txt")) {
    auto [folder, error] = search.OpenFolder(Root());
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->Stat("old.txt", {false, true})->lastWrite, (UtcTime{981173106, 0}));
  }
}

TEST_F(DirectorySearchTest, FailuresToOpenSayWhy) {
  tree.File("file.txt");
  tree.Link("dangling", "nowhere");
  struct Case {
    std::string path;
    std::errc error;
  };
  const Case cases[] = {
      {Root() + "missing/", std::errc::no_such_file_or_directory},
      {Root() + "missing/deeper/", std::errc::no_such_file_or_directory},
      {Root() + "file.txt/", std::errc::not_a_directory},
      {Root() + "dangling/", std::errc::no_such_file_or_directory},
      {"", std::errc::no_such_file_or_directory},
      {Root() + std::string(300, 'n') + "/", std::errc::filename_too_long},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    // Once with the root kept open from an earlier call, once without.
    for (bool warm : {false, true}) {
      PosixDirectorySearch fresh;
      if (warm) ReadAll(fresh, Root());
      auto [folder, error] = fresh.OpenFolder(c.path);
      EXPECT_FALSE(folder);
      EXPECT_EQ(error, std::make_error_code(c.error)) << error.message() << (warm ? " (warm)" : " (cold)");
    }
  }
}

TEST_F(DirectorySearchTest, StartFoldersReachedThroughLinksOpenAsTheKernelResolvesThem) {
  tree.File("real/inner/file.txt");
  tree.File("real/top.txt");
  tree.Link("via", "real");
  tree.Link("hop/over", "../real/inner");

  // One search, used in this order, as consecutive start folders would use it.
  struct Case {
    std::string path;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {Root(), {"hop", "real", "via"}},
      {Root() + "via/", {"inner", "top.txt"}},
      {Root() + "via/inner/", {"file.txt"}},
      {Root() + "hop/over/", {"file.txt"}},
      {Root() + "real/inner/../", {"inner", "top.txt"}},
      {Root() + "real//inner/", {"file.txt"}},
      {Root() + "real/./inner", {"file.txt"}},
      {Root() + "via/inner", {"file.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Names(ReadAll(search, c.path)), c.names);
  }
}

TEST_F(DirectorySearchTest, PathsLongerThanTheKernelLimitOpenAndList) {
  const std::string deep = tree.Deep("deep", std::string(120, 'd'), 40, "bottom.txt");
  ASSERT_GT(deep.size(), static_cast<std::size_t>(PATH_MAX));

  // Straight away with nothing kept, and level by level from the top.
  PosixDirectorySearch cold;
  EXPECT_EQ(Names(ReadAll(cold, deep)), std::vector<std::string>{"bottom.txt"});

  PosixDirectorySearch stepwise(8);
  std::string path = Root() + "deep/";
  for (int level = 0; level < 40; ++level) {
    EXPECT_EQ(ReadAll(stepwise, path).size(), 1u) << "level " << level;
    path.append(120, 'd').push_back('/');
  }
  ASSERT_EQ(path, deep);
  auto [folder, error] = stepwise.OpenFolder(deep);
  ASSERT_TRUE(folder) << error.message();
  const auto stamp = folder->Stat("bottom.txt", {true, true});
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->size, 0u);
  EXPECT_TRUE(folder->id());
}

TEST_F(DirectorySearchTest, DescriptorsStayBoundedAndAreAllClosedAtTheEnd) {
  for (int i = 0; i < 100; ++i) tree.File("wide/f" + std::to_string(i) + "/x.txt");
  const std::string deep = tree.Deep("chain", "n", 100, "bottom.txt");

  const int before = testing::OpenDescriptorCount();
  constexpr std::size_t kKept = 8;
  {
    PosixDirectorySearch bounded(kKept);
    int most = 0;
    auto visit = [&](const std::string& path) {
      auto [folder, error] = bounded.OpenFolder(path);
      ASSERT_TRUE(folder) << path << ": " << error.message();
      DirEntry entry;
      while (folder->Next(entry)) {
      }
      most = std::max(most, testing::OpenDescriptorCount() - before);
    };
    for (int i = 0; i < 100; ++i) visit(Root() + "wide/f" + std::to_string(i) + "/");
    std::string path = Root() + "chain/";
    for (int level = 0; level < 100; ++level) visit(path += "n/");
    ASSERT_EQ(path, deep);
    for (int i = 99; i >= 0; --i) visit(Root() + "wide/f" + std::to_string(i) + "/");

    EXPECT_LE(bounded.keptCount(), kKept);
    EXPECT_LE(most, static_cast<int>(kKept) + 1) << "kept descriptors plus the open folder";
    EXPECT_GT(most, 1) << "ancestors are kept between calls";
  }
  EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

TEST_F(DirectorySearchTest, AFolderOpenedAgainIsReadFromItsStart) {
  for (const char* name : {"a", "b", "c", "d"}) tree.File(std::string("again/") + name);
  const std::vector<std::string> all = {"a", "b", "c", "d"};
  const std::string path = Root() + "again/";

  EXPECT_EQ(Names(ReadAll(search, path)), all);
  EXPECT_EQ(Names(ReadAll(search, path)), all) << "after a full read";
  {
    auto [folder, error] = search.OpenFolder(path);
    ASSERT_TRUE(folder);
    DirEntry entry;
    ASSERT_TRUE(folder->Next(entry));
  }
  EXPECT_EQ(Names(ReadAll(search, path)), all) << "after a read cut short";

  // Two searches of one folder at once do not disturb each other.
  auto first = search.OpenFolder(path).folder;
  auto second = search.OpenFolder(path).folder;
  ASSERT_TRUE(first && second);
  DirEntry a, b;
  std::vector<std::string> fromFirst, fromSecond;
  while (first->Next(a)) {
    fromFirst.emplace_back(a.name);
    if (second->Next(b)) fromSecond.emplace_back(b.name);
  }
  while (second->Next(b)) fromSecond.emplace_back(b.name);
  std::sort(fromFirst.begin(), fromFirst.end());
  std::sort(fromSecond.begin(), fromSecond.end());
  EXPECT_EQ(fromFirst, all);
  EXPECT_EQ(fromSecond, all);
}

TEST_F(DirectorySearchTest, KeptDescriptorsAreNotTrustedAfterAPause) {
  tree.File("work/old.txt");
  PosixDirectorySearch quick(8, std::chrono::milliseconds(30));
  const std::string path = Root() + "work/";
  EXPECT_EQ(Names(ReadAll(quick, path)), std::vector<std::string>{"old.txt"});

  ASSERT_EQ(::rename(path.c_str(), (Root() + "moved").c_str()), 0);
  tree.File("work/new.txt");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Names(ReadAll(quick, path)), std::vector<std::string>{"new.txt"});
}

TEST_F(DirectorySearchTest, FolderIdentityIsTheDeviceAndInode) {
  tree.Folder("one");
  tree.Folder("two");
  tree.Link("alias", "one");
  auto id = [&](const std::string& path) {
    PosixDirectorySearch fresh;
    auto [folder, error] = fresh.OpenFolder(path);
    EXPECT_TRUE(folder) << error.message();
    return folder ? folder->id() : std::nullopt;
  };
  struct stat st{};
  ASSERT_EQ(::stat(tree.Path("one").c_str(), &st), 0);
  const FolderId one{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  EXPECT_EQ(id(Root() + "one/"), one);
  EXPECT_EQ(id(Root() + "alias/"), one);
  EXPECT_NE(id(Root() + "two/"), one);
}

// Runs `body` in a child process as an unprivileged user, so that permission
// bits count even when the tests run as root.
testing::ChildResult AsUnprivileged(const std::function<void(std::string&)>& body) {
  return testing::RunInChild([&](std::string& out) {
    if (::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
        return testing::kChildCannotRun;
      }
    }
    body(out);
    return 0;
  });
}

TEST_F(DirectorySearchTest, FoldersWithoutPermissionGiveErrorsNotCrashes) {
  ::chmod(tree.root().c_str(), 0755);
  tree.Folder("closed", 0000);
  tree.File("list-only/file.txt", 10);
  tree.SetMode("list-only", 0444);  // names readable, entries not
  tree.File("pass-only/inner/file.txt", 20);
  tree.SetMode("pass-only", 0111);  // not readable, but passable

  const auto result = AsUnprivileged([&](std::string& out) {
    PosixDirectorySearch unprivileged;
    auto line = [&](const std::string& what) { out += what + "\n"; };
    auto open = [&](const std::string& path) {
      auto opened = unprivileged.OpenFolder(path);
      line(path.substr(tree.root().size()) + " -> " + (opened.folder ? "open" : opened.error.message()));
      return std::move(opened.folder);
    };
    open(Root());
    open(Root() + "closed/");
    if (auto folder = open(Root() + "list-only/")) {
      DirEntry entry;
      while (folder->Next(entry)) line("  entry " + std::string(entry.name));
      line(std::string("  stat ") + (folder->Stat("file.txt", {true, true}) ? "read" : "unreadable"));
    }
    open(Root() + "pass-only/");
    if (auto folder = open(Root() + "pass-only/inner/")) {
      const auto stamp = folder->Stat("file.txt", {true, false});
      line("  size " + (stamp && stamp->size ? std::to_string(*stamp->size) : std::string("?")));
    }
  });
  if (result.status == testing::kChildCannotRun) GTEST_SKIP() << "cannot switch to an unprivileged user";
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output,
            "/ -> open\n"
            "/closed/ -> Permission denied\n"
            "/list-only/ -> open\n"
            "  entry file.txt\n"
            "  stat unreadable\n"
            "/pass-only/ -> Permission denied\n"
            "/pass-only/inner/ -> open\n"
            "  size 20\n");
}

TEST_F(DirectorySearchTest, ABindMountLoopIsWalkedOnce) {
  tree.File("a/file.txt");
  tree.Folder("a/loop");
  const auto result = testing::RunInChild([&](std::string& out) {
    if (!testing::EnterOwnMountNamespace() ||
        ::mount(tree.root().c_str(), tree.Path("a/loop").c_str(), nullptr, MS_BIND, nullptr) != 0) {
      return testing::kChildCannotRun;
    }
    PosixDirectorySearch bound;
    testing::RecordingHost host;
    host.recordYields = false;
    host.blnContinue = true;
    engine::WalkContext context{bound, host, '/'};
    std::vector<engine::FolderItem> folders;
    engine::GetSubFolders(context, Root(), folders);
    for (const auto& folder : folders) out += "folder " + folder.path.substr(std::min(folder.path.size(), Root().size())) + "\n";
    for (const auto& event : host.events) {
      if (event.starts_with("problem")) out += event.substr(0, event.find(' ', 9)) + "\n";
    }
    return 0;
  });
  if (result.status == testing::kChildCannotRun) GTEST_SKIP() << "bind mounts not permitted here";
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output,
            "folder \n"
            "folder a\n"
            "folder a/loop\n"
            "problem: loop\n");
}

// ext2 without the file-type feature leaves every d_type DT_UNKNOWN.
TEST_F(DirectorySearchTest, EntriesOfUntypedFileSystemsAreClassifiedByLookUp) {
  tree.Folder("mnt");
  const auto result = testing::RunInChild([&](std::string& out) {
    if (!testing::EnterOwnMountNamespace() ||
        !testing::MountNewImage("mkfs.ext2 -q -F -O ^filetype", tree.Path("image"), tree.Path("mnt"))) {
      return testing::kChildCannotRun;
    }
    tree.Folder("mnt/folder");
    tree.File("mnt/file", 42);
    tree.Link("mnt/to-folder", "folder");
    tree.Link("mnt/to-file", "file");
    tree.Link("mnt/dangling", "nowhere");
    PosixDirectorySearch untyped;
    for (const auto& [name, entry] : ReadAll(untyped, tree.Path("mnt/"))) {
      static constexpr const char* kKinds[] = {"file", "folder", "linked-folder"};
      out += name + " " + kKinds[static_cast<int>(entry.kind)];
      if (entry.stamp && entry.stamp->size) out += " " + std::to_string(*entry.stamp->size);
      out += "\n";
    }
    return 0;
  });
  if (result.status == testing::kChildCannotRun) GTEST_SKIP() << "cannot make and mount file systems here";
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output,
            "dangling file 7\n"
            "file file 42\n"
            "folder folder\n"
            "lost+found folder\n"
            "to-file file 42\n"
            "to-folder linked-folder\n");
}

}  // namespace
}  // namespace vexaro::platform::posix

// The directory search and the volume figures on the real disk.
#include "platform/win32/windows_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <thread>
#include <vector>

#include "platform/win32/convert_win32.h"
#include "platform/win32/host_win32.h"
#include "tests/platform/win32/temp_tree.h"

namespace vexaro::platform::win32 {
namespace {

using testing::TempTree;

std::unique_ptr<Folder> Open(DirectorySearch& search, const std::string& path) {
  OpenResult result = search.OpenFolder(path);
  EXPECT_TRUE(result.folder) << path << ": " << result.error.message();
  return std::move(result.folder);
}

std::optional<FolderId> IdOf(const OpenResult& result) { return result.folder ? result.folder->id() : std::nullopt; }

// Every entry of a folder by name, read to the end.
std::map<std::string, DirEntry> ReadAll(Folder& folder, std::vector<std::string>& names) {
  std::map<std::string, DirEntry> entries;
  for (DirEntry entry; folder.Next(entry);) {
    names.emplace_back(entry.name);
    entries[names.back()] = entry;
  }
  for (auto& [name, entry] : entries) entry.name = name;
  return entries;
}

void Move(const std::string& from, const std::string& to) {
  ASSERT_TRUE(MoveFileExW(ExtendedPath(from).c_str(), ExtendedPath(to).c_str(), 0)) << GetLastError();
}

TEST(Win32Time, FileTimesAndUtcBothWaysToTheEnds) {
  constexpr std::uint64_t kEpoch = 116'444'736'000'000'000;  // 1970-01-01 in FILETIME ticks
  const struct {
    std::uint64_t ticks;
    UtcTime utc;
  } cases[] = {
      {kEpoch, {0, 0}},
      {kEpoch + 5, {0, 500}},
      {kEpoch - 1, {-1, 999'999'900}},
      {0, {-11'644'473'600, 0}},
      {INT64_MAX, {910'692'730'085, 477'580'700}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UtcFromFileTime(c.ticks), c.utc) << c.ticks;
    EXPECT_EQ(FileTimeFromUtc(c.utc), c.ticks) << c.ticks;
  }
  // Outside what a FILETIME holds: the nearest end.
  EXPECT_EQ(FileTimeFromUtc({-11'644'473'601, 0}), 0u);
  EXPECT_EQ(FileTimeFromUtc({INT64_MAX, 0}), static_cast<std::uint64_t>(INT64_MAX));
}

TEST(Win32Search, ExactTimesFromTheRecordAndErrorsForWhatIsGone) {
  TempTree tree;
  const std::string kept = tree.File("v\\kept.txt", 7), gone = tree.File("v\\gone.txt", 1);
  // The creation time as the system's own search gives it, to the tick.
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(ExtendedPath(kept).c_str(), &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  const std::uint64_t created =
      (static_cast<std::uint64_t>(found.ftCreationTime.dwHighDateTime) << 32) | found.ftCreationTime.dwLowDateTime;

  Win32DirectorySearch search;
  auto folder = Open(search, tree.Path("v\\"));
  ASSERT_TRUE(folder);
  TempTree::Remove(gone);  // found by the search, gone when looked at
  std::optional<FileStamp> stamp;
  for (DirEntry entry; folder->Next(entry);) {
    if (entry.name == "kept.txt") stamp = entry.stamp;
  }
  ASSERT_TRUE(stamp) << "the record carries size and times";
  EXPECT_EQ(stamp->size, 7u);
  ASSERT_TRUE(stamp->creation);
  EXPECT_EQ(FileTimeFromUtc(*stamp->creation), created);
  EXPECT_EQ(folder->Stat("kept.txt", {true, true}), stamp);
  EXPECT_EQ(folder->Stat("gone.txt", {true, true}), std::nullopt);
  EXPECT_EQ(folder->Stat("..\\v\\kept.txt", {true, true}), std::nullopt) << "an entry, not a path";
  EXPECT_FALSE(folder->error());
}

TEST(Win32Search, StartFoldersThatCannotBeOpened) {
  TempTree tree;
  const std::string file = tree.File("file.txt", 3);
  const std::string vanished = tree.Folder("vanished");
  TempTree::Remove(vanished);
  const struct {
    std::string path;
    std::errc error;
  } cases[] = {
      {vanished, std::errc::no_such_file_or_directory},
      {tree.Path("vanished\\deeper\\"), std::errc::no_such_file_or_directory},
      {file, std::errc::not_a_directory},
      {file + "\\", std::errc::not_a_directory},
  };
  Win32DirectorySearch search;
  for (const auto& c : cases) {
    const OpenResult result = search.OpenFolder(c.path);
    EXPECT_FALSE(result.folder) << c.path;
    EXPECT_EQ(result.error, c.error) << c.path << ": " << result.error.message();
  }
  // With or without its separator, and as the drive's root.
  for (const std::string& path :
       {tree.Path(""), tree.Path("").substr(0, tree.Path("").size() - 1), tree.Path("").substr(0, 3)}) {
    EXPECT_TRUE(Open(search, path)) << path;
  }
}

TEST(Win32Search, EntriesOfALargeFolderEachOnceWithTheirKind) {
  TempTree tree;
  // Long names, so that the records take several reads of the handle.
  constexpr int kFiles = 400;
  const std::string padding(110, 'x');
  for (int i = 0; i < kFiles; ++i) tree.File("big\\" + std::to_string(i) + padding, static_cast<unsigned>(i));
  tree.Folder("big\\sub");
  tree.File("big\\hidden", 5, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  const std::string unicode = "\xC3\xBC\xE6\x97\xA5\xF0\x9F\x98\x80";  // ü, a CJK character, an emoji
  tree.File("big\\" + unicode, 2);

  Win32DirectorySearch search;
  auto folder = Open(search, tree.Path("big"));
  ASSERT_TRUE(folder);
  std::vector<std::string> names;
  const auto entries = ReadAll(*folder, names);
  EXPECT_FALSE(folder->error()) << folder->error().message();
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kFiles + 3)) << "no entry twice, none left out, no . or ..";
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(kFiles + 3));
  for (int i = 0; i < kFiles; i += 37) {
    const DirEntry& entry = entries.at(std::to_string(i) + padding);
    EXPECT_EQ(entry.kind, EntryKind::File);
    ASSERT_TRUE(entry.stamp);
    EXPECT_EQ(entry.stamp->size, static_cast<std::uint64_t>(i));
    EXPECT_TRUE(entry.stamp->creation);
  }
  EXPECT_EQ(entries.at("sub").kind, EntryKind::Folder);
  EXPECT_FALSE(entries.at("sub").stamp);
  EXPECT_EQ(entries.at("hidden").stamp->size, 5u);
  EXPECT_EQ(entries.at(unicode).stamp->size, 2u);
  EXPECT_EQ(folder->Stat(unicode, {true, false})->size, 2u);

  DirEntry more;
  EXPECT_FALSE(folder->Next(more)) << "one pass only";
  EXPECT_TRUE(folder->OpenChild("sub").folder) << "the handle outlives the enumeration";
}

// Entries are read from what was opened, whatever has taken its name since.
TEST(Win32Search, EntriesOfTheFolderOpenedNotOfItsName) {
  TempTree tree;
  tree.File("x\\old", 1);
  Win32DirectorySearch search;
  auto x = Open(search, tree.Path("x"));
  ASSERT_TRUE(x);
  Move(tree.Path("x"), tree.Path("y"));
  tree.File("x\\new", 1);
  std::vector<std::string> names;
  ReadAll(*x, names);
  EXPECT_EQ(names, std::vector<std::string>{"old"});
  EXPECT_EQ(IdOf(search.OpenFolder(tree.Path("y"))), x->id());
  EXPECT_NE(IdOf(search.OpenFolder(tree.Path("x"))), x->id());
}

TEST(Win32Search, OpenChildOpensOnlyAFolderOfThisVeryFolder) {
  TempTree tree;
  tree.Folder("c\\a\\b");
  tree.Folder("c\\other");
  tree.File("c\\f.txt", 1);
  const std::string unicode = "\xC3\xBC\xE6\x97\xA5\xF0\x9F\x98\x80";
  tree.Folder("c\\" + unicode);

  Win32DirectorySearch search;
  auto c = Open(search, tree.Path("c"));
  ASSERT_TRUE(c);
  const auto a = IdOf(search.OpenFolder(tree.Path("c\\a")));
  ASSERT_TRUE(a);
  const struct {
    std::string name;
    std::errc error;  // {} when it opens
  } cases[] = {
      {"a", {}},
      {unicode, {}},
      {"f.txt", std::errc::not_a_directory},
      {"missing", std::errc::no_such_file_or_directory},
      // Names only: neither a path nor a way up.
      {"a\\b", std::errc::invalid_argument},
      {"a/b", std::errc::invalid_argument},
      {"..", std::errc::invalid_argument},
      {".", std::errc::invalid_argument},
      {"", std::errc::invalid_argument},
  };
  for (const auto& k : cases) {
    const OpenResult result = c->OpenChild(k.name);
    EXPECT_EQ(result.folder != nullptr, k.error == std::errc{}) << k.name;
    if (k.error != std::errc{}) {
      EXPECT_EQ(result.error, k.error) << k.name << ": " << result.error.message();
    }
  }
  // Ids: the same folder by either way, another folder another id.
  EXPECT_EQ(IdOf(c->OpenChild("a")), a);
  EXPECT_NE(IdOf(c->OpenChild("other")), a);
  EXPECT_EQ(IdOf(c->OpenChild("other"))->device, a->device);
  EXPECT_NE(c->id(), a);
}

TEST(Win32Search, OpenParentOpensTheFolderThatHoldsIt) {
  TempTree tree;
  tree.Folder("p\\a\\b");
  tree.Folder("p\\other");
  Win32DirectorySearch search;
  auto p = Open(search, tree.Path("p"));
  ASSERT_TRUE(p);
  auto a = p->OpenChild("a").folder;
  ASSERT_TRUE(a);
  auto b = a->OpenChild("b").folder;
  ASSERT_TRUE(b);
  EXPECT_EQ(IdOf(b->OpenParent()), a->id());
  EXPECT_EQ(IdOf(a->OpenParent()), p->id());

  // A drive's root has none.
  auto root = Open(search, tree.Path("").substr(0, 3));
  ASSERT_TRUE(root);
  const OpenResult above = root->OpenParent();
  EXPECT_FALSE(above.folder);
  EXPECT_TRUE(above.error);
}

TEST(Win32Search, OpenParentOfAFolderMovedWhileOpen) {
  TempTree tree;
  tree.Folder("p\\a\\b");
  tree.Folder("p\\other");
  Win32DirectorySearch search;
  auto p = Open(search, tree.Path("p"));
  ASSERT_TRUE(p);
  auto b = Open(search, tree.Path("p\\a\\b"));
  ASSERT_TRUE(b);
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
    GTEST_SKIP() << "Wine keeps the path a folder was opened by, also after a move";
  }
  Move(tree.Path("p\\a\\b"), tree.Path("p\\other\\b"));
  EXPECT_EQ(IdOf(b->OpenParent()), IdOf(p->OpenChild("other"))) << "the folder that holds it now";
}

// A folder enumerated on one thread while another opens and looks up its
// entries, as the walk's workers do.
TEST(Win32Search, EnumerationAndOpensOnTwoThreads) {
  TempTree tree;
  constexpr int kFolders = 100;
  for (int i = 0; i < kFolders; ++i) tree.File("t\\" + std::to_string(i) + "\\file", 1);
  Win32DirectorySearch search;
  auto folder = Open(search, tree.Path("t"));
  ASSERT_TRUE(folder);
  int listed = 0;
  std::thread reader([&] {
    for (DirEntry entry; folder->Next(entry);) listed += entry.kind == EntryKind::Folder;
  });
  int opened = 0, statted = 0;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < kFolders; ++i) {
      auto child = folder->OpenChild(std::to_string(i)).folder;
      opened += child != nullptr;
      if (child) statted += child->Stat("file", {true, false}).value_or(FileStamp{}).size == 1u;
      EXPECT_TRUE(folder->id());
    }
  }
  reader.join();
  EXPECT_EQ(listed, kFolders);
  EXPECT_EQ(opened, 3 * kFolders);
  EXPECT_EQ(statted, 3 * kFolders);
  EXPECT_FALSE(folder->error());
}

// Under Wine only a Unix link makes a link: the test set-up makes loop\up ->
// .. and links\file -> target on the host side.
TEST(Win32Search, LinksAreNeitherEnteredNorFollowedToFolders) {
  const char* top = std::getenv("VEXARO_HOST_TREE");
  if (top == nullptr || *top == '\0') GTEST_SKIP() << "no links were made for this run";
  Win32DirectorySearch search;
  auto loop = Open(search, std::string(top) + "\\loop");
  ASSERT_TRUE(loop);
  std::vector<std::string> names;
  const auto entries = ReadAll(*loop, names);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries.at("up").kind, EntryKind::LinkedFolder);
  EXPECT_EQ(entries.at("inner").kind, EntryKind::Folder);

  // As if the walk had seen a folder there: the link is refused, not entered.
  const OpenResult up = loop->OpenChild("up");
  EXPECT_FALSE(up.folder);
  EXPECT_EQ(up.error, std::errc::too_many_symbolic_link_levels) << up.error.message();
  EXPECT_TRUE(loop->OpenChild("inner").folder);
  // The start folder itself may be reached through a link.
  EXPECT_EQ(IdOf(search.OpenFolder(std::string(top) + "\\loop\\up")), IdOf(search.OpenFolder(top)));

  auto links = Open(search, std::string(top) + "\\links");
  ASSERT_TRUE(links);
  // The link to a file gives the file's size.
  EXPECT_EQ(links->Stat("file", {true, true}).value_or(FileStamp{}).size, 3u);
  EXPECT_EQ(links->OpenChild("file").error, std::errc::not_a_directory);
}

TEST(Win32Volumes, SpaceAndLabelOfADrive) {
  TempTree tree;
  Win32Volumes volumes;
  const auto space = volumes.Space(tree.Path(""));
  ASSERT_TRUE(space);
  EXPECT_GT(space->total, 0u);
  EXPECT_LE(space->available, space->total);
  // A drive with a label of its own. Wine's mount manager reads a label when
  // a drive is defined, so the set-up's labelled folder becomes drive Y:
  // through the manager's own request for that (what Wine's settings use).
  const char* top = std::getenv("VEXARO_HOST_TREE");
  if (top == nullptr) GTEST_SKIP() << "no labelled drive can be made here";
  std::string folder = std::string(top + 2) + "\\drive";  // the host's path of Z:...
  std::replace(folder.begin(), folder.end(), '\\', '/');
  struct UnixDrive {
    ULONG size, type, fsType;
    DWORD serial;
    ULONGLONG device;
    WCHAR letter;
    USHORT mountPoint, deviceName, label;
  } drive{
      static_cast<ULONG>(sizeof(UnixDrive) + folder.size() + 1), DRIVE_FIXED, 0, 0, 0, L'y', sizeof(UnixDrive), 0, 0};
  std::string request(reinterpret_cast<const char*>(&drive), sizeof drive);
  request += folder + '\0';
  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  const DWORD defineDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
  DWORD returned = 0;
  ASSERT_TRUE(DeviceIoControl(manager, defineDrive, request.data(), request.size(), nullptr, 0, &returned, nullptr));
  EXPECT_EQ(volumes.Label("Y:\\data\\"), "\xE3\x83\xA9\xE3\x83\x99\xE3\x83\xAB 1");
  drive.mountPoint = 0;  // no folder: the drive goes again
  DeviceIoControl(manager, defineDrive, &drive, sizeof drive, nullptr, 0, &returned, nullptr);
  CloseHandle(manager);
}

}  // namespace
}  // namespace vexaro::platform::win32

// The directory search and the volume figures on the real disk.
#include "platform/win32/windows_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <thread>

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

void Refused(const OpenResult& result, std::errc error, std::string_view what) {
  EXPECT_FALSE(result.folder) << what;
  EXPECT_EQ(result.error, error) << what << ": " << result.error.message();
}

std::optional<FolderId> IdOf(const OpenResult& result) { return result.folder ? result.folder->id() : std::nullopt; }

// Every entry by name, read to the end; `count` gets how many Next gave.
std::map<std::string, DirEntry> ReadAll(Folder& folder, std::size_t* count = nullptr) {
  std::map<std::string, DirEntry> entries;
  for (DirEntry entry; folder.Next(entry);) {
    entries[std::string(entry.name)] = entry;
    if (count) ++*count;
  }
  for (auto& [name, entry] : entries) entry.name = name;
  return entries;
}

TEST(Win32Search, ExactTimesFromTheRecordAndErrorsForWhatIsGone) {
  TempTree tree;
  const std::string kept = tree.File("v\\kept.txt", 7), gone = tree.File("v\\gone.txt", 1);
  const std::string vanished = tree.Folder("vanished");
  TempTree::Remove(vanished);
  WIN32_FIND_DATAW found;  // the creation time as the system's own search gives it
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

  Refused(search.OpenFolder(vanished), std::errc::no_such_file_or_directory, vanished);
  Refused(search.OpenFolder(vanished + "deeper\\"), std::errc::no_such_file_or_directory, "deeper");
  for (const std::string& path : {kept, kept + "\\"})
    Refused(search.OpenFolder(path), std::errc::not_a_directory, path);
  // With or without its separator, and as the drive's root.
  for (const std::string& path : {tree.Path(""), tree.Path("v"), tree.Path("").substr(0, 3)}) {
    EXPECT_TRUE(Open(search, path)) << path;
  }
}

// Read on one thread while another opens its entries, as the walk's workers
// do; long names, so that the records take several reads of the handle.
TEST(Win32Search, EntriesOfALargeFolderEachOnceWhileAnotherThreadOpensThem) {
  TempTree tree;
  constexpr int kCount = 200;
  const std::string padding(110, 'x');
  for (int i = 0; i < kCount; ++i) {
    tree.File("big\\" + std::to_string(i) + padding, static_cast<unsigned>(i));
    tree.File("big\\" + std::to_string(i) + "\\file", 1);
  }
  tree.File("big\\hidden", 5, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);

  Win32DirectorySearch search;
  auto folder = Open(search, tree.Path("big"));
  ASSERT_TRUE(folder);
  std::size_t read = 0;
  std::map<std::string, DirEntry> entries;
  std::thread reader([&] { entries = ReadAll(*folder, &read); });
  int statted = 0;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < kCount; ++i) {
      auto child = folder->OpenChild(std::to_string(i)).folder;
      statted += child && child->Stat("file", {true, false}).value_or(FileStamp{}).size == 1u;
      EXPECT_TRUE(folder->id());
    }
  }
  reader.join();
  EXPECT_EQ(statted, 3 * kCount);
  EXPECT_FALSE(folder->error()) << folder->error().message();
  ASSERT_EQ(read, static_cast<std::size_t>(2 * kCount + 1)) << "none left out, no . or ..";
  ASSERT_EQ(entries.size(), read) << "no entry twice";
  for (int i = 0; i < kCount; i += 37) {
    const DirEntry& file = entries.at(std::to_string(i) + padding);
    EXPECT_EQ(file.kind, EntryKind::File);
    EXPECT_TRUE(file.stamp && file.stamp->creation && file.stamp->size == static_cast<std::uint64_t>(i)) << i;
    EXPECT_EQ(entries.at(std::to_string(i)).kind, EntryKind::Folder);
    EXPECT_FALSE(entries.at(std::to_string(i)).stamp);
  }
  EXPECT_EQ(entries.at("hidden").stamp->size, 5u);
  DirEntry more;
  EXPECT_FALSE(folder->Next(more)) << "one pass only";
  EXPECT_TRUE(folder->OpenChild("0").folder) << "the handle outlives the enumeration";
}

// Entries come from what was opened, whatever has taken its name since.
TEST(Win32Search, TheFolderOpenedNotItsName) {
  TempTree tree;
  tree.File("x\\old", 1);
  tree.Folder("other");
  Win32DirectorySearch search;
  auto x = Open(search, tree.Path("x"));
  ASSERT_TRUE(x);
  ASSERT_TRUE(MoveFileExW(ExtendedPath(tree.Path("x")).c_str(), ExtendedPath(tree.Path("other\\y")).c_str(), 0));
  tree.File("x\\new", 1);
  const auto entries = ReadAll(*x);
  EXPECT_TRUE(entries.size() == 1 && entries.contains("old"));
  EXPECT_EQ(IdOf(search.OpenFolder(tree.Path("other\\y"))), x->id());
  EXPECT_NE(IdOf(search.OpenFolder(tree.Path("x"))), x->id());
  // Wine keeps the path a folder was opened by, also after a move.
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) {
    EXPECT_EQ(IdOf(x->OpenParent()), IdOf(search.OpenFolder(tree.Path("other"))));
  }
}

TEST(Win32Search, OpenChildOpensOnlyAFolderOfThisVeryFolderAndOpenParentGoesBack) {
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
  EXPECT_TRUE(c->OpenChild(unicode).folder);
  Refused(c->OpenChild("f.txt"), std::errc::not_a_directory, "f.txt");
  Refused(c->OpenChild("missing"), std::errc::no_such_file_or_directory, "missing");
  // Names only: neither a path nor a way up.
  for (const char* name : {"a\\b", "a/b", "..", ".", ""})
    Refused(c->OpenChild(name), std::errc::invalid_argument, name);
  // One folder one id by either way; the parent is the one opened from, a root has none.
  EXPECT_EQ(IdOf(c->OpenChild("a")), a);
  EXPECT_NE(IdOf(c->OpenChild("other")), a);
  EXPECT_EQ(IdOf(c->OpenChild("other"))->device, a->device);
  EXPECT_NE(c->id(), a);
  EXPECT_EQ(IdOf(c->OpenChild("a").folder->OpenChild("b").folder->OpenParent()), a);
  EXPECT_EQ(IdOf(c->OpenChild("a").folder->OpenParent()), c->id());
  const OpenResult above = Open(search, tree.Path("").substr(0, 3))->OpenParent();
  EXPECT_FALSE(above.folder);
  EXPECT_TRUE(above.error);
}

// The host-side set-up makes loop\up -> .. and links\file -> target: Wine makes no links.
TEST(Win32Search, LinksAreNeitherEnteredNorFollowedToFolders) {
  const char* top = std::getenv("VEXARO_HOST_TREE");
  if (top == nullptr || *top == '\0') GTEST_SKIP() << "no links were made for this run";
  Win32DirectorySearch search;
  auto loop = Open(search, std::string(top) + "\\loop");
  ASSERT_TRUE(loop);
  const auto entries = ReadAll(*loop);
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
  // Wine reads a label when a drive is defined: the set-up's labelled folder becomes Y:.
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

// The directory search and the volume figures on the real disk.
#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "engine/walk.h"
#include "platform/host_win32.h"
#include "tests/support/recording_host.h"
#include "tests/win32/temp_tree.h"

namespace vexaro::platform::win32 {
namespace {

using testing::TempTree;

TEST(Win32Search, ExactTimesFromTheRecordAndErrorsForWhatIsGone) {
  TempTree tree;
  const std::string kept = tree.File("v\\kept.txt", 7), gone = tree.File("v\\gone.txt", 1);
  // 2020-12-30 00:00:00.0000005 and 2001-02-03 04:05:06.1234567 UTC.
  const FILETIME lastWrite{static_cast<DWORD>(132537600000000005), static_cast<DWORD>(132537600000000005 >> 32)};
  const FILETIME lastAccess{static_cast<DWORD>(126256467061234567), static_cast<DWORD>(126256467061234567 >> 32)};
  HANDLE file = CreateFileW(ExtendedPath(kept).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(SetFileTime(file, nullptr, &lastAccess, &lastWrite));
  CloseHandle(file);

  Win32DirectorySearch search;
  auto [folder, error] = search.OpenFolder(tree.Path("v\\"));
  ASSERT_TRUE(folder) << error.message();
  TempTree::Remove(gone);  // found by the search, gone when looked at
  std::optional<FileStamp> stamp;
  for (DirEntry entry; folder->Next(entry);) {
    if (entry.name == "kept.txt") stamp = entry.stamp;
  }
  ASSERT_TRUE(stamp) << "the record carries size and times";
  EXPECT_EQ(stamp->size, 7u);
  EXPECT_EQ(stamp->lastWrite, (UtcTime{1609286400, 500}));
  EXPECT_EQ(stamp->lastAccess, (UtcTime{981173106, 123456700}));
  EXPECT_EQ(folder->Stat("kept.txt", {true, true}), stamp);
  EXPECT_EQ(folder->Stat("gone.txt", {true, true}), std::nullopt);

  const std::string vanished = tree.Folder("vanished");
  TempTree::Remove(vanished);
  for (const std::string& path : {vanished, tree.Path("vanished\\deeper\\"), tree.Path("v\\keep.txt\\")}) {
    const OpenResult result = search.OpenFolder(path);
    EXPECT_FALSE(result.folder) << path;
    EXPECT_TRUE(result.error) << path;
  }
  EXPECT_EQ(search.OpenFolder(vanished).error, std::errc::no_such_file_or_directory);
}

// Under Wine only a Unix link makes a folder link: the test set-up makes
// loop\up -> .. on the host side.
TEST(Win32Search, FolderLinkLoopIsNeitherWalkedNorListed) {
  const char* top = std::getenv("VEXARO_HOST_TREE");
  if (top == nullptr || *top == '\0') GTEST_SKIP() << "no link loop was made for this run";
  const std::string loop = std::string(top) + "\\loop\\";
  Win32DirectorySearch search;
  testing::RecordingHost host;
  host.blnContinue = true;
  engine::WalkContext context{search, host, '\\'};
  std::vector<engine::FolderItem> folders;
  engine::GetSubFolders(context, loop, folders);
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[1].path, loop + "inner");
  engine::FolderFiles files;
  engine::GetFolderFiles(context, loop, files);
  EXPECT_EQ(files.entries.size(), 1u) << "a link to a folder is no file";
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
  } drive{static_cast<ULONG>(sizeof(UnixDrive) + folder.size() + 1), DRIVE_FIXED, 0, 0, 0, L'y', sizeof(UnixDrive), 0, 0};
  std::string request(reinterpret_cast<const char*>(&drive), sizeof drive);
  request += folder + '\0';
  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
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

#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "engine/walk.h"
#include "platform/convert_win32.h"
#include "platform/host_win32.h"
#include "tests/support/recording_host.h"
#include "tests/win32/temp_tree.h"

namespace vexaro::platform::win32 {
namespace {

using testing::RecordingHost;
using testing::TempTree;

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

struct Listed {
  EntryKind kind = EntryKind::File;
  std::optional<FileStamp> stamp;
};

// Every entry of a folder, by name; `error` gets what ended the search.
std::map<std::string, Listed> ReadAll(DirectorySearch& search, const std::string& path,
                                      std::error_code* error = nullptr) {
  std::map<std::string, Listed> out;
  auto [folder, openError] = search.OpenFolder(path);
  if (!folder) {
    ADD_FAILURE() << "cannot open " << path << ": " << openError.message();
    return out;
  }
  DirEntry entry;
  while (folder->Next(entry)) {
    EXPECT_FALSE(out.count(std::string(entry.name))) << entry.name << " listed twice";
    out[std::string(entry.name)] = {entry.kind, entry.stamp};
  }
  if (error) *error = folder->error();
  return out;
}

std::vector<std::string> Paths(const std::vector<engine::FolderItem>& folders) {
  std::vector<std::string> out;
  for (const auto& f : folders) out.push_back(f.path);
  return out;
}

class Win32FolderTest : public ::testing::Test {
 protected:
  TempTree tree;
  Win32DirectorySearch search;
};

TEST_F(Win32FolderTest, ListsNamesInAnyScriptAndWithEveryAttribute) {
  struct Case {
    const char* name;
    EntryKind kind;
    unsigned long attributes;
  };
  const Case cases[] = {
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", EntryKind::File, 0},  // Japanese
      {"\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4.txt", EntryKind::File, 0},  // Korean, beside it
      {"\xF0\x9F\x98\x80.txt", EntryKind::File, 0},                      // emoji
      {"README", EntryKind::File, 0},
      {"hidden.txt", EntryKind::File, FILE_ATTRIBUTE_HIDDEN},
      {"system.sys", EntryKind::File, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
      {"readonly.txt", EntryKind::File, FILE_ATTRIBUTE_READONLY},
      {"dir.with.dot", EntryKind::Folder, 0},
      {"\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80", EntryKind::Folder, 0},
  };
  for (const auto& c : cases) {
    if (c.kind == EntryKind::Folder) {
      tree.AddFolder(std::string("names\\") + c.name);
    } else {
      tree.AddFile(std::string("names\\") + c.name, 3, c.attributes);
    }
  }
  std::error_code error;
  const auto listed = ReadAll(search, tree.Path("names\\"), &error);
  EXPECT_FALSE(error) << error.message();
  EXPECT_EQ(listed.size(), std::size(cases)) << "no \".\" or \"..\", nothing missing";
  for (const auto& c : cases) {
    const auto found = listed.find(c.name);
    ASSERT_NE(found, listed.end()) << c.name;
    EXPECT_EQ(found->second.kind, c.kind) << c.name;
    if (c.kind == EntryKind::File) {
      ASSERT_TRUE(found->second.stamp) << c.name << ": the record carries size and times";
      EXPECT_EQ(found->second.stamp->size, 3u) << c.name;
    }
  }
}

TEST_F(Win32FolderTest, RecordCarriesSizesBeyondFourGigabytesAndExactTimes) {
  const UtcTime creation{981173106, 123456700};  // 2001-02-03 04:05:06.1234567 UTC
  const UtcTime lastWrite{1700000000, 500};
  const UtcTime lastAccess{1700003600, 0};
  struct Case {
    const char* name;
    std::uint64_t size;
  };
  const Case cases[] = {
      {"empty", 0},
      {"under-4GiB", 4 * kGiB - 1},
      {"4GiB", 4 * kGiB},
      {"5GiB-and-a-byte", 5 * kGiB + 1},
  };
  for (const auto& c : cases) {
    TempTree::SetTimes(tree.AddFile(std::string("sizes\\") + c.name, c.size), creation, lastWrite, lastAccess);
  }
  const auto listed = ReadAll(search, tree.Path("sizes\\"));
  auto [folder, error] = search.OpenFolder(tree.Path("sizes"));
  ASSERT_TRUE(folder) << error.message();
  for (const auto& c : cases) {
    const auto found = listed.find(c.name);
    ASSERT_NE(found, listed.end()) << c.name;
    const auto& stamp = found->second.stamp;
    ASSERT_TRUE(stamp) << c.name;
    EXPECT_EQ(stamp->size, c.size) << c.name;
    EXPECT_EQ(stamp->lastWrite, lastWrite) << c.name;
    EXPECT_EQ(stamp->lastAccess, lastAccess) << c.name;
    // Wine keeps no birth time and reports the last write instead.
    EXPECT_EQ(stamp->creation, testing::RunningUnderWine() ? lastWrite : creation) << c.name;
    EXPECT_EQ(folder->Stat(c.name, {true, true}), stamp) << c.name << ": Stat agrees with the record";
  }
}

TEST_F(Win32FolderTest, PathsOfMoreThan300Characters) {
  std::string relative;
  for (int level = 0; level < 6; ++level) relative += std::string(60, static_cast<char>('a' + level)) + "\\";
  tree.AddFile(relative + "deep.txt", 42);
  const std::string deepest = tree.Path(relative);
  ASSERT_GT(deepest.size(), 300u);

  const auto listed = ReadAll(search, deepest);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed.begin()->first, "deep.txt");
  EXPECT_EQ(listed.begin()->second.stamp->size, 42u);

  RecordingHost host;
  host.blnContinue = true;
  engine::WalkContext context{search, host, '\\'};
  std::vector<engine::FolderItem> folders;
  engine::GetSubFolders(context, tree.root(), folders);
  ASSERT_EQ(folders.size(), 7u);
  EXPECT_EQ(folders.back().path + "\\", deepest);
  for (const auto& e : host.events) EXPECT_EQ(e.rfind("problem:", 0), std::string::npos) << e;

  engine::FolderFiles files;
  engine::GetFolderFiles(context, deepest, files);
  ASSERT_EQ(files.entries.size(), 2u);
  EXPECT_EQ(files.entries[1].name, "deep.txt");
  EXPECT_EQ(files.StampOf(files.entries[1])->size, 42u) << "the size comes with the search record";
}

TEST_F(Win32FolderTest, FoldersThatCannotBeOpenedSayWhy) {
  tree.AddFile("file.txt");
  tree.AddFolder("empty");
  struct Case {
    const char* relative;
    bool opens;
    std::optional<std::errc> condition;
  };
  const Case cases[] = {
      {"gone\\", false, std::errc::no_such_file_or_directory},
      {"gone\\deeper\\", false, std::errc::no_such_file_or_directory},
      {"file.txt\\", false, std::nullopt},  // not a folder: any error will do
      {"empty\\", true, std::nullopt},
      {"empty", true, std::nullopt},
  };
  for (const auto& c : cases) {
    auto [folder, error] = search.OpenFolder(tree.Path(c.relative));
    EXPECT_EQ(folder != nullptr, c.opens) << c.relative;
    EXPECT_EQ(!error, c.opens) << c.relative;
    if (c.condition) {
      EXPECT_EQ(error, *c.condition) << c.relative << ": " << error.message();
    }
    if (folder) {
      DirEntry entry;
      EXPECT_FALSE(folder->Next(entry)) << c.relative;
      EXPECT_FALSE(folder->error()) << c.relative;
      EXPECT_FALSE(folder->Next(entry)) << c.relative << ": stays at its end";
    }
  }
}

TEST_F(Win32FolderTest, VanishedEntriesGiveNoStampAndNoCrash) {
  tree.AddFile("v\\keep.txt", 5);
  const std::string gone = tree.AddFile("v\\gone.txt", 7);
  auto [folder, error] = search.OpenFolder(tree.Path("v\\"));
  ASSERT_TRUE(folder);
  ASSERT_TRUE(TempTree::Remove(gone));
  EXPECT_EQ(folder->Stat("gone.txt", {true, true}), std::nullopt);
  EXPECT_EQ(folder->Stat("keep.txt", {true, false})->size, 5u);
  EXPECT_EQ(folder->Stat("never-there", {true, true}), std::nullopt);
}

// The walk of a tree whose folder `loop` holds a link back to the top.
void ExpectLoopIsNotFollowed(DirectorySearch& search, const std::string& top, const std::string& loop) {
  const auto listed = ReadAll(search, loop);
  ASSERT_EQ(listed.count("up"), 1u);
  EXPECT_EQ(listed.at("up").kind, EntryKind::LinkedFolder);

  RecordingHost host;
  host.blnContinue = true;
  engine::WalkContext context{search, host, '\\'};
  std::vector<engine::FolderItem> folders;
  engine::GetSubFolders(context, top, folders);
  for (const auto& folder : Paths(folders)) {
    EXPECT_EQ(folder.find("\\up"), std::string::npos) << folder << ": the link was walked";
  }
  engine::FolderFiles files;
  engine::GetFolderFiles(context, loop, files);
  for (const auto& file : files.entries) EXPECT_NE(file.name, "up") << "a link to a folder is no file";
}

TEST_F(Win32FolderTest, FolderLinksAreNeitherWalkedNorListed) {
  tree.AddFolder("loop\\inner");
  if (!tree.AddFolderLink("loop\\up", tree.root())) {
    GTEST_SKIP() << "this system made no symbolic link (no right to, or Wine)";
  }
  ExpectLoopIsNotFollowed(search, tree.root(), tree.Path("loop\\"));
}

// A loop made on the host side by the test set-up (under Wine, a Unix link).
TEST_F(Win32FolderTest, HostMadeLinkLoopIsNotFollowed) {
  const char* top = std::getenv("VEXARO_HOST_LINK_TREE");
  if (top == nullptr || *top == '\0') GTEST_SKIP() << "VEXARO_HOST_LINK_TREE not set";
  std::string root = top;
  if (root.back() != '\\') root.push_back('\\');
  ExpectLoopIsNotFollowed(search, root, root + "loop\\");
}

TEST(FileTime, ConvertsBothWaysAroundTheUnixEpoch) {
  struct Case {
    std::uint64_t ticks;
    UtcTime time;
  };
  const Case cases[] = {
      {116444736000000000, {0, 0}},
      {116444736000000001, {0, 100}},
      {116444735999999999, {-1, 999999900}},
      {0, {-11644473600, 0}},
      {132537600000000000, {1609286400, 0}},  // 2020-12-30
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UtcFromFileTime(c.ticks), c.time) << c.ticks;
    EXPECT_EQ(FileTimeFromUtc(c.time), c.ticks) << c.ticks;
  }
  EXPECT_EQ(FileTimeFromUtc({-11644473601, 0}), 0u) << "before 1601 clamps";
}

}  // namespace
}  // namespace vexaro::platform::win32

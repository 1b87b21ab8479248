// Makes the benchmark trees: a deep tree of many files in many folders and a
// flat folder, with sizes up to several GB as sparse files and mixed names.
//
//   make_tree tree DIR [FILES [FOLDERS]]   (default 1000000 files, 100000 folders)
//   make_tree flat DIR [FILES]             (default 200000 files)
//
// The same arguments always give the same tree.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Name stems: ASCII, accented Latin, Japanese, Korean, Cyrillic, an emoji,
// blanks and dots, so that sorting and output see every kind.
const char* const kStems[] = {
    "data",    "src",  "Report",         "img",  "a b",   "x.y",        "temp",   "Old",    "new", "café",
    "Ünïcode", "備考", "日本語フォルダ", "자료", "Отчёт", "photo_2026", "📁 misc", "README", "z",   "build.out",
};
constexpr std::size_t kStemCount = sizeof kStems / sizeof kStems[0];

const char* const kExtensions[] = {".txt", ".log", ".jpg", ".csv", "", ".tar.gz", ".cpp", ".h"};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "make_tree: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

void MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) Fail(path);
}

// Sizes: mostly small, some megabytes, one in a thousand several gigabytes.
off_t PickSize(std::mt19937_64& rng) {
  const auto roll = rng() % 1000;
  if (roll < 20) return 0;
  if (roll < 900) return static_cast<off_t>(rng() % 100000);
  if (roll < 999) return static_cast<off_t>(rng() % (64ull << 20));
  return static_cast<off_t>(rng() % (8ull << 30));
}

void MakeFile(const std::string& path, off_t size) {
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) Fail(path);
  if (size > 0 && ftruncate(fd, size) != 0) Fail(path);
  close(fd);
}

std::string FileName(std::mt19937_64& rng, long index) {
  std::string name = kStems[rng() % kStemCount];
  name += '_';
  name += std::to_string(index);
  name += kExtensions[rng() % (sizeof kExtensions / sizeof kExtensions[0])];
  return name;
}

int Tree(const std::string& root, long files, long folders) {
  std::mt19937_64 rng(20261207);
  std::vector<std::string> paths{root};
  paths.reserve(static_cast<std::size_t>(folders));
  MakeFolder(root);
  // Each folder's parent is drawn from the first tenth of those before it,
  // which gives a bushy tree about five levels deep.
  for (long i = 1; i < folders; ++i) {
    const auto parent = rng() % static_cast<std::uint64_t>((i + 9) / 10);
    std::string path = paths[parent] + "/" + kStems[rng() % kStemCount] + std::to_string(i);
    MakeFolder(path);
    paths.push_back(std::move(path));
  }
  for (long i = 0; i < files; ++i) {
    const auto& folder = paths[rng() % paths.size()];
    MakeFile(folder + "/" + FileName(rng, i), PickSize(rng));
  }
  return 0;
}

int Flat(const std::string& root, long files) {
  std::mt19937_64 rng(7);
  MakeFolder(root);
  for (long i = 0; i < files; ++i) MakeFile(root + "/" + FileName(rng, i), PickSize(rng));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_tree tree DIR [FILES [FOLDERS]] | make_tree flat DIR [FILES]\n");
    return 2;
  }
  const std::string kind = argv[1];
  const std::string root = argv[2];
  if (kind == "tree") {
    return Tree(root, argc > 3 ? std::atol(argv[3]) : 1000000, argc > 4 ? std::atol(argv[4]) : 100000);
  }
  if (kind == "flat") return Flat(root, argc > 3 ? std::atol(argv[3]) : 200000);
  std::fprintf(stderr, "make_tree: unknown kind '%s'\n", kind.c_str());
  return 2;
}

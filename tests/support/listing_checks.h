#pragma once
// Random trees for the listing, from a seeded generator or the fuzzer's
// bytes, and checks that read each listing back from its own text: the
// property test and the listing fuzz target share both.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/listing.h"
#include "tests/support/fake_system.h"

namespace vexaro::testing {

// Where the random choices come from. Once a byte source runs dry every
// choice is the smallest one, so any input decodes to a finite tree.
class Entropy {
 public:
  virtual ~Entropy() = default;
  virtual std::uint8_t Byte() = 0;
  std::uint64_t Bits64();
  // Uniform enough in [0, bound); 0 when bound is 0.
  std::uint64_t Below(std::uint64_t bound);
  bool Percent(unsigned percent) { return Below(100) < percent; }
};

class SeededEntropy final : public Entropy {
 public:
  explicit SeededEntropy(std::uint64_t seed) : random_(seed) {}
  std::uint8_t Byte() override { return static_cast<std::uint8_t>(random_()); }

 private:
  std::mt19937_64 random_;
};

class ByteEntropy final : public Entropy {
 public:
  ByteEntropy(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() override { return at_ < size_ ? data_[at_++] : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A name of 1..255 bytes that a folder search can return: random bytes of
// every kind a file system lets through (invalid UTF-8, controls, quotes,
// commas, CR and LF, C1 controls, four-byte characters), never the
// separator '\', never "." or "..".
std::string RandomName(Entropy& entropy, std::size_t maxBytes = 255);

struct ModelFile {
  std::string name;
  std::uint64_t size = 0;
  platform::UtcTime creation;
  bool vanished = false;  // its stamp cannot be read
};

struct ModelFolder {
  std::string name;
  bool unreadable = false;
  bool link = false;  // a link to a folder: neither walked nor listed
  std::vector<ModelFile> files;
  std::vector<ModelFolder> folders;
  std::string order;  // 'f' and 'd' in the order the search returns files and folders
};

struct Scenario {
  std::string start;    // the start folder as given, "C:\..." with or without '\'
  std::string label;    // volume label of C:
  bool space = true;    // disk figures can be had
  std::string lineEnd;  // empty: the system's (CR LF); "\n" as vexaro-list writes on Linux
  bool recordsCarryStamps = true;
  // Offsets in force from a UTC second on; the first also before it.
  std::vector<std::pair<std::int64_t, std::int32_t>> offsets;
  ModelFolder root;  // its name is unused: `start` names it
  engine::ListingOptions options;
  unsigned threads = 1;
  std::size_t cacheBudget = engine::kDefaultCacheBudget;
};

struct TreeLimits {
  int depth = 4;
  int entries = 7;  // per folder
  std::size_t nameBytes = 255;
};

Scenario RandomScenario(Entropy& entropy, const TreeLimits& limits = {});

// Every combination of the seven option booleans, by the bits of `bits`.
engine::ListingOptions OptionsFromBits(unsigned bits);

// The result of listing a scenario's start folder once.
struct ListingRun {
  std::string text;
  int yields = 0;
  bool stopped = false;  // the listing says it was stopped
  std::string lineEnd;   // the one it was asked for
  int leftOpen = 0;      // folder searches still open after the run
};

// Builds the fake for `scenario` and lists its start folder. A `stopAtYield`
// of n > 0 presses STOP during the n-th yield.
ListingRun RunListing(const Scenario& scenario, int stopAtYield = 0);

// What is wrong with a complete listing of `scenario`, one message per fault;
// empty when the header has as many lines as its boxes ask for, and every listable
// file has exactly one line, in UTF-16 order, that parses back to its name,
// its size and a date, or blanks where it could not be read.
std::vector<std::string> CheckListing(const Scenario& scenario, const ListingRun& run);

// What is wrong with a listing stopped part-way, given the complete one:
// whole lines only, a beginning of the complete text.
std::vector<std::string> CheckStopped(const ListingRun& complete, const ListingRun& stopped);

// An RFC 4180 reader: records ending in CR LF (or the given line end), fields
// quoted or not, "" for a quote inside a quoted field, CR and LF only inside
// quotes. Returns false on any text that breaks the grammar.
bool ParseCsv(std::string_view text, std::vector<std::vector<std::string>>& records, std::string_view eol = "\r\n");

// Code units of a name in the listing's order: each valid UTF-8 character
// as its UTF-16 code units, each byte that is not as 0x10000 + byte, so
// that it follows every character.
std::vector<std::uint32_t> OrderUnits(std::string_view name);

// A short description of a scenario, for failure messages.
std::string Describe(const Scenario& scenario);

}  // namespace vexaro::testing

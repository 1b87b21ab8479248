// Random trees through the listing: names of random bytes, sizes and times
// over their whole ranges, files that vanish, unreadable folders and links,
// every option combination, with and without read-ahead threads and with a
// cache too small to keep the walk's files. Each listing is read back from
// its own text; seeds are fixed, so a failure repeats and the message names
// the seed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/sort.h"
#include "tests/support/listing_checks.h"

namespace vexaro::testing {
namespace {

std::string Joined(const std::vector<std::string>& faults) {
  std::string text;
  for (const auto& f : faults) text += "\n  " + f;
  return text;
}

// What the random trees hold, so that a generator gone quiet fails loudly.
struct Coverage {
  int files = 0, vanished = 0, unreadable = 0, links = 0, replaced = 0, farDates = 0, hugeSizes = 0, c1 = 0, crlf = 0,
      invalid = 0;

  void Add(const ModelFolder& folder) {
    unreadable += folder.unreadable;
    links += folder.link;
    replaced += folder.replacedBeforeListing != 0;
    for (const auto& f : folder.files) {
      ++files;
      vanished += f.vanished || f.vanishesBeforeListing;
      farDates += f.creation.seconds > 253402300799 || f.creation.seconds < -62167219200;
      hugeSizes += f.size > 999'999'999'999ull;
      c1 += f.name.find("\xC2\x85") != std::string::npos || f.name.find("\xC2\x9B") != std::string::npos;
      crlf += f.name.find("\r\n") != std::string::npos;
      const auto units = OrderUnits(f.name);
      invalid += std::any_of(units.begin(), units.end(), [](std::uint32_t u) { return u >= 0x10000; });
    }
    for (const auto& d : folder.folders) Add(d);
  }
};

struct Setting {
  unsigned threads;
  std::size_t cacheBudget;
};
// A budget of a few hundred bytes keeps some folders and reads the others
// again for the listing; none keeps nothing.
constexpr Setting kSettings[] = {{1, engine::kDefaultCacheBudget}, {3, 300}, {1, 0}, {3, engine::kDefaultCacheBudget}};

// Whether the tree changes between the walk and the listing, which then
// depends on what the walk kept.
bool ChangesAfterTheWalk(const ModelFolder& folder) {
  if (folder.replacedBeforeListing) return true;
  for (const auto& f : folder.files) {
    if (f.vanishesBeforeListing) return true;
  }
  return std::any_of(folder.folders.begin(), folder.folders.end(),
                     [](const ModelFolder& d) { return ChangesAfterTheWalk(d); });
}

TEST(ListingProperty, EveryOptionCombinationListsEveryFileOnceInOrderAndParsesBack) {
  constexpr std::uint64_t kSeeds = 24;
  Coverage coverage;
  for (std::uint64_t seed = 1; seed <= kSeeds; ++seed) {
    SeededEntropy entropy(seed);
    Scenario scenario = RandomScenario(entropy, {.depth = 4, .entries = 9, .nameBytes = 255});
    coverage.Add(scenario.root);
    for (unsigned bits = 0; bits < 128; ++bits) {
      scenario.options = OptionsFromBits(bits);
      const Setting& setting = kSettings[(bits + seed) % std::size(kSettings)];
      scenario.threads = setting.threads;
      scenario.cacheBudget = setting.cacheBudget;
      const auto faults = CheckListing(scenario, RunListing(scenario));
      ASSERT_TRUE(faults.empty()) << "seed " << seed << ", " << Describe(scenario) << Joined(faults);
    }
  }
  EXPECT_GE(coverage.files, 250);
  EXPECT_GT(coverage.vanished, 5);
  EXPECT_GT(coverage.unreadable, 2);
  EXPECT_GT(coverage.links, 2);
  EXPECT_GT(coverage.replaced, 2);
  EXPECT_GT(coverage.farDates, 20);
  EXPECT_GT(coverage.hugeSizes, 20);
  EXPECT_GT(coverage.c1, 2);
  EXPECT_GT(coverage.crlf, 2);
  EXPECT_GT(coverage.invalid, 20);
}

// The same bytes whatever the threads and whatever the walk kept, and for
// the same tree under another start folder (its path aside).
TEST(ListingProperty, SameBytesForEveryThreadCountCacheAndStartFolderName) {
  for (std::uint64_t seed = 100; seed < 160; ++seed) {
    SeededEntropy entropy(seed);
    Scenario scenario = RandomScenario(entropy);
    scenario.options.CheckPath = false;
    // Changes after the walk show only without threads, whose reads may
    // come at any time.
    const bool changes = ChangesAfterTheWalk(scenario.root);
    scenario.threads = 3;
    scenario.cacheBudget = engine::kDefaultCacheBudget;
    const std::string text = RunListing(scenario).text;
    for (const Setting& setting : kSettings) {
      if (changes && setting.threads == 1) continue;
      Scenario other = scenario;
      other.threads = setting.threads;
      other.cacheBudget = setting.cacheBudget;
      ASSERT_EQ(RunListing(other).text, text) << "seed " << seed << ", " << Describe(other);
    }
    if (scenario.options.OptionCSV) continue;  // its lines name the start folder
    Scenario copy = scenario;
    copy.start = "C:\\copy of " + scenario.start.substr(3);
    ASSERT_EQ(RunListing(copy).text, text) << "seed " << seed << ", " << Describe(copy);
  }
}

TEST(ListingProperty, ManySmallTreesWithRandomSettings) {
  for (std::uint64_t seed = 1000; seed < 4000; ++seed) {
    SeededEntropy entropy(seed);
    const Scenario scenario = RandomScenario(entropy, {.depth = 3, .entries = 5, .nameBytes = 255});
    const auto faults = CheckListing(scenario, RunListing(scenario));
    ASSERT_TRUE(faults.empty()) << "seed " << seed << ", " << Describe(scenario) << Joined(faults);
  }
}

TEST(ListingProperty, StopAtAnyYieldLeavesWholeLines) {
  int stops = 0;
  for (std::uint64_t seed = 2000; seed < 2040; ++seed) {
    SeededEntropy entropy(seed);
    Scenario scenario = RandomScenario(entropy);
    const Setting& setting = kSettings[seed % std::size(kSettings)];
    scenario.threads = setting.threads;
    scenario.cacheBudget = setting.cacheBudget;
    const ListingRun complete = RunListing(scenario);
    ASSERT_TRUE(CheckListing(scenario, complete).empty()) << "seed " << seed;
    for (int at = 1; at <= complete.yields + 1; ++at) {
      const ListingRun stopped = RunListing(scenario, at);
      const auto faults = CheckStopped(complete, stopped);
      ASSERT_TRUE(faults.empty()) << "seed " << seed << ", STOP at yield " << at << " of " << complete.yields << ", "
                                  << Describe(scenario) << Joined(faults);
      stops += stopped.stopped;
    }
  }
  EXPECT_GT(stops, 200);
}

// Offset changes at the ends of the range: the clock is asked about the
// nearest second there, and the header's time uses the offset now.
TEST(ListingProperty, OffsetChangesBesideTheEndsOfTheRange) {
  for (std::uint64_t seed = 5000; seed < 5040; ++seed) {
    SeededEntropy entropy(seed);
    Scenario scenario = RandomScenario(entropy);
    const std::int32_t early = static_cast<std::int32_t>(entropy.Below(28 * 3600)) - 14 * 3600;
    const std::int32_t late = static_cast<std::int32_t>(entropy.Below(28 * 3600)) - 14 * 3600;
    scenario.offsets = {{INT64_MIN, early}, {seed % 2 ? INT64_MIN + 1 : INT64_MAX, late}};
    scenario.root.files.push_back({"first", 1, {INT64_MIN, 0}});
    scenario.root.files.push_back({"last", 1, {INT64_MAX, 999'999'999}});
    scenario.root.order += "ff";
    const auto faults = CheckListing(scenario, RunListing(scenario));
    ASSERT_TRUE(faults.empty()) << "seed " << seed << ", " << Describe(scenario) << Joined(faults);
  }
}

// Every input in the listing fuzz target's corpus, the ones that once found
// a fault among them, through the same checks.
TEST(ListingProperty, FuzzCorpusInputs) {
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VEXARO_LISTING_CORPUS)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ByteEntropy entropy(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const Scenario scenario = RandomScenario(entropy, {.depth = 3, .entries = 6, .nameBytes = 255});
    const ListingRun complete = RunListing(scenario);
    const auto faults = CheckListing(scenario, complete);
    ASSERT_TRUE(faults.empty()) << entry.path().filename() << ", " << Describe(scenario) << Joined(faults);
    ++inputs;
  }
  EXPECT_GE(inputs, 12);
}

// The order the checks above expect, against the engine's own comparison:
// UTF-16 code units, stray bytes after every character.
TEST(ListingProperty, NameOrderIsUtf16CodeUnitOrder) {
  SeededEntropy entropy(7);
  for (int i = 0; i < 20000; ++i) {
    std::string a = RandomName(entropy, 6);
    std::string b = entropy.Percent(30) ? a.substr(0, entropy.Below(a.size() + 1)) + RandomName(entropy, 3)
                                        : RandomName(entropy, 6);
    const auto ua = OrderUnits(a), ub = OrderUnits(b);
    const int expected = ua < ub ? -1 : (ub < ua ? 1 : 0);
    const int got = engine::CompareNames(a, b);
    ASSERT_EQ((got > 0) - (got < 0), expected) << "\"" << a << "\" against \"" << b << "\"";
  }
}

// The reader the CSV check relies on must refuse what RFC 4180 refuses, or
// a broken listing would pass.
TEST(ListingProperty, CsvReaderTakesTheGrammarOnly) {
  struct Case {
    std::string_view text;
    bool valid;
    std::vector<std::vector<std::string>> records;
    std::string_view eol = "\r\n";
  };
  const Case cases[] = {
      {"", true, {}},
      {"\"a\",\"b\"\r\n", true, {{"a", "b"}}},
      {"\"a\"\"b\",\"c,\r\nd\"\r\nx,\r\n", true, {{"a\"b", "c,\r\nd"}, {"x", ""}}},
      {"\"a\",\"b\"", false, {}},                             // no CR LF at the end
      {"\"a\"b\r\n", false, {}},                              // text after the closing quote
      {"\"a\r\n", false, {}},                                 // quote never closed
      {"a\"b\r\n", false, {}},                                // quote in a field without quotes
      {"a\nb\r\n", false, {}},                                // bare LF
      {"\"a\"\r\n\"b\"\n", false, {}},                        // second record ends in LF
      {"\"a\nb\",c\n\n", true, {{"a\nb", "c"}, {""}}, "\n"},  // LF records
      {"a\r\n", false, {}, "\n"},                             // CR outside quotes
  };
  for (const auto& c : cases) {
    std::vector<std::vector<std::string>> records;
    EXPECT_EQ(ParseCsv(c.text, records, c.eol), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(records, c.records) << c.text;
    }
  }
}

}  // namespace
}  // namespace vexaro::testing

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

struct Setting {
  unsigned threads;
  std::size_t cacheBudget;
};
// A budget of a few hundred bytes keeps some folders and reads the others
// again for the listing; none keeps nothing.
constexpr Setting kSettings[] = {{1, engine::kDefaultCacheBudget}, {3, 300}, {1, 0}, {3, engine::kDefaultCacheBudget}};

TEST(ListingProperty, EveryOptionCombinationListsEveryFileOnceInOrderAndParsesBack) {
  constexpr std::uint64_t kSeeds = 24;
  for (std::uint64_t seed = 1; seed <= kSeeds; ++seed) {
    SeededEntropy entropy(seed);
    Scenario scenario = RandomScenario(entropy, {.depth = 4, .entries = 9, .nameBytes = 255});
    for (unsigned bits = 0; bits < 128; ++bits) {
      scenario.options = OptionsFromBits(bits);
      const Setting& setting = kSettings[(bits + seed) % std::size(kSettings)];
      scenario.threads = setting.threads;
      scenario.cacheBudget = setting.cacheBudget;
      const auto faults = CheckListing(scenario, RunListing(scenario));
      ASSERT_TRUE(faults.empty()) << "seed " << seed << ", " << Describe(scenario) << Joined(faults);
    }
  }
}

// The same bytes whatever the threads and whatever the walk kept, and for
// the same tree under another start folder (its path aside).
TEST(ListingProperty, SameBytesForEveryThreadCountCacheAndStartFolderName) {
  for (std::uint64_t seed = 100; seed < 160; ++seed) {
    SeededEntropy entropy(seed);
    Scenario scenario = RandomScenario(entropy);
    scenario.options.CheckPath = false;
    scenario.threads = 3;
    scenario.cacheBudget = engine::kDefaultCacheBudget;
    const std::string text = RunListing(scenario).text;
    for (const Setting& setting : kSettings) {
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

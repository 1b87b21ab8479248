// The listing over a tree from the fuzzer's bytes: the property test's checks, and STOP at a yield
// the bytes pick.

#include <cstdio>
#include <cstdlib>

#include "tests/support/listing_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vexaro::testing;
  ByteEntropy entropy(data, size);
  // Small trees: the fuzzer learns more from many runs than from big ones.
  const Scenario scenario = RandomScenario(entropy, {.depth = 3, .entries = 6, .nameBytes = 255});
  const ListingRun complete = RunListing(scenario);
  std::vector<std::string> faults = CheckListing(scenario, complete);
  if (faults.empty()) {
    const int stopAt = 1 + static_cast<int>(entropy.Below(static_cast<std::uint64_t>(complete.yields) + 1));
    faults = CheckStopped(complete, RunListing(scenario, stopAt));
    if (!faults.empty()) faults.insert(faults.begin(), "STOP at yield " + std::to_string(stopAt));
  }
  if (faults.empty()) return 0;
  std::fprintf(stderr, "%s\n", Describe(scenario).c_str());
  for (const auto& f : faults) std::fprintf(stderr, "  %s\n", f.c_str());
  std::abort();
}

#pragma once
// A listing host that records what the engine shows and can press STOP at a
// chosen moment.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host.h"

namespace vexaro::testing {

class RecordingHost final : public engine::ListingHost {
 public:
  // One line per call: "status: Listing Folders", "show: C:\data\", "yield",
  // "message: ...", "problem: <kind> <path>".
  std::vector<std::string> events;
  bool blnContinue = false;
  bool recordYields = true;
  int yields = 0;
  // Runs inside every yield, the place where STOP's handler runs.
  std::function<void(RecordingHost&)> duringYield;

  void Stop() { blnContinue = false; }

  void SetStatus(std::string_view caption) override { events.push_back("status: " + std::string(caption)); }
  void DispListFile(std::string_view text) override { events.push_back("show: " + std::string(text)); }
  void Yield() override {
    ++yields;
    if (recordYields) events.emplace_back("yield");
    if (duringYield) duringYield(*this);
  }
  void MessageDisp(std::string_view msg) override { events.push_back("message: " + std::string(msg)); }
  bool Continue() override { return blnContinue; }
  void SetContinue(bool value) override { blnContinue = value; }
  void ReportProblem(const engine::Problem& problem) override {
    static constexpr const char* kKinds[] = {"unreadable-folder", "loop", "unreadable-file", "changed"};
    events.push_back("problem: " + std::string(kKinds[static_cast<int>(problem.kind)]) + " " +
                     std::string(problem.path));
  }

  // The events without yields.
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e != "yield") out.push_back(e);
    }
    return out;
  }
};

}  // namespace vexaro::testing

#pragma once
// A front end that records what the engine shows and can press STOP at a
// chosen moment.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host.h"

namespace vexaro::testing {

class RecordingHost final : public engine::ProgressDisplay, public engine::StopRequest, public engine::ProblemReports {
 public:
  // One line per call: "status: Listing Folders", "show: C:\data\", "yield",
  // "problem: <kind> <path>".
  std::vector<std::string> events;
  bool blnContinue = true;  // a front end sets it again for each start folder
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
  bool Requested() const override { return !blnContinue; }
  void ReportProblem(const engine::Problem& problem) override {
    static constexpr const char* kKinds[] = {"unreadable-folder", "loop", "unreadable-file", "changed"};
    events.push_back("problem: " + std::string(kKinds[static_cast<int>(problem.kind)]) + " " +
                     std::string(problem.path));
  }

  engine::ListingHost Host() { return {*this, *this, this}; }

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

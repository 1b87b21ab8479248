#pragma once
// The window's option controls, as the listing reads them: what the front
// ends hand the engine, and nothing of the engine's insides.

#include <string_view>

namespace vexaro::engine {

struct ListingOptions {
  bool CheckVolume = true;
  bool CheckFree = true;
  bool CheckSize = true;
  bool CheckByte = true;
  bool CheckDate = true;
  bool CheckPath = true;
  bool OptionCSV = false;    // TXT otherwise
  std::string_view lineEnd;  // empty: the system's own; else a literal
};

}  // namespace vexaro::engine

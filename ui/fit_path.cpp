#include "ui/fit_path.h"

namespace vexaro::ui {

std::string GetFitPath(std::string_view strTempText, int width, platform::PathFitter& fitter) {
  if (strTempText.empty()) return {};
  return fitter.FitPath(strTempText, width);
}

}  // namespace vexaro::ui

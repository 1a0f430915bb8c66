#pragma once
// Pictures of the workbench's pages for its documentation, taken by the
// program itself: with ZELKOR_SCREENSHOTS=<directory> set, the workbench
// connects to the module selected last, loads ZELKOR_SCREENSHOT_IMAGE (the
// installation's demo/demo.hex without it), downloads it, queries every
// sector's status, saves a PNG of each page on the way and ends.
// tools/screenshots.sh runs it under Xvfb against the module simulator.
#include <optional>
#include <string>

namespace zk::gui {

class CZelkorGuiApp;

inline constexpr char kScreenshotsVariable[] = "ZELKOR_SCREENSHOTS";
inline constexpr char kScreenshotImageVariable[] = "ZELKOR_SCREENSHOT_IMAGE";

// The directory ZELKOR_SCREENSHOTS names, if it is set.
std::optional<std::string> ScreenshotDirectory();

// Runs the tour on app's shown sheet, then ends the sheet; false when a
// step failed (what failed is printed on standard error).
bool RunScreenTour(CZelkorGuiApp& app, const std::string& directory);

}  // namespace zk::gui

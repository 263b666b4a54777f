#include "app/placement.h"

#include <algorithm>

namespace dimlux {

namespace {

float RightOf(const Place& place) { return place.left + place.width; }
float BottomOf(const Place& place) { return place.top + place.height; }

// Enough to grab: half the caption bar's height, and twice that in width (or all of a narrower bar).
bool CanBeGrabbed(Platform& platform, const Place& caption) {
  Place work = {};
  if (!platform.WorkArea(caption, false, &work)) return false;
  const float shownWidth = std::min(RightOf(caption), RightOf(work)) - std::max(caption.left, work.left);
  const float shownHeight = std::min(BottomOf(caption), BottomOf(work)) - std::max(caption.top, work.top);
  return 2 * shownHeight >= caption.height && shownWidth >= std::min(2 * caption.height, caption.width);
}

// The nearest place that lies wholly inside, or at the top left corner if the window is larger.
float Inside(float start, float size, float areaStart, float areaSize) {
  return std::max(areaStart, std::min(start, areaStart + areaSize - size));
}

}  // namespace

void KeepReachable(Platform& platform) {
  const Place window = platform.WidgetPlace();
  Place work = {};
  if (CanBeGrabbed(platform, platform.CaptionBar()) || !platform.WorkArea(window, true, &work)) return;
  platform.MoveWidget({Inside(window.left, window.width, work.left, work.width),
                       Inside(window.top, window.height, work.top, work.height), window.width, window.height});
}

}  // namespace dimlux

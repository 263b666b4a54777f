#include "app/placement.h"

#include <algorithm>
#include <cmath>

namespace dimlux {

namespace {

Long ToPixels(float twips, float twipsPerPixel) { return static_cast<Long>(std::lround(twips / twipsPerPixel)); }

Long WidthOf(const Rect& rect) { return rect.right - rect.left; }
Long HeightOf(const Rect& rect) { return rect.bottom - rect.top; }

Rect WindowRect(Platform& platform) {
  const float tppX = platform.TwipsPerPixelX();
  const float tppY = platform.TwipsPerPixelY();
  const Long left = ToPixels(platform.Left(), tppX);
  const Long top = ToPixels(platform.Top(), tppY);
  return {left, top, left + ToPixels(platform.Width(), tppX), top + ToPixels(platform.Height(), tppY)};
}

// The strip above the client area, within the side frames.
Rect CaptionBar(Platform& platform, const Rect& window) {
  const Long clientWidth = ToPixels(platform.ScaleWidth(), platform.TwipsPerPixelX());
  const Long clientHeight = ToPixels(platform.ScaleHeight(), platform.TwipsPerPixelY());
  const Long frame = (WidthOf(window) - clientWidth) / 2;
  return {window.left + frame, window.top, window.right - frame, window.bottom - frame - clientHeight};
}

// Enough to grab: half the caption bar's height, and twice that in width (or all of a narrower bar).
bool CanBeGrabbed(Platform& platform, const Rect& caption) {
  Rect work = {};
  if (!platform.GetMonitorWorkArea(platform.MonitorFromRect(caption, kMonitorDefaultToNull), &work)) return false;
  const Long shownWidth = std::min(caption.right, work.right) - std::max(caption.left, work.left);
  const Long shownHeight = std::min(caption.bottom, work.bottom) - std::max(caption.top, work.top);
  const Long height = HeightOf(caption);
  return 2 * shownHeight >= height && shownWidth >= std::min(2 * height, WidthOf(caption));
}

// The nearest place that lies wholly inside, or at the top left corner if the window is larger.
Long Inside(Long start, Long size, Long areaStart, Long areaEnd) {
  return std::max(areaStart, std::min(start, areaEnd - size));
}

}  // namespace

void KeepReachable(Platform& platform) {
  const Rect window = WindowRect(platform);
  if (CanBeGrabbed(platform, CaptionBar(platform, window))) return;
  Rect work = {};
  if (!platform.GetMonitorWorkArea(platform.MonitorFromRect(window, kMonitorDefaultToNearest), &work)) return;
  const Long left = Inside(window.left, WidthOf(window), work.left, work.right);
  const Long top = Inside(window.top, HeightOf(window), work.top, work.bottom);
  platform.SetTop(static_cast<float>(top) * platform.TwipsPerPixelY());
  platform.SetLeft(static_cast<float>(left) * platform.TwipsPerPixelX());
}

}  // namespace dimlux

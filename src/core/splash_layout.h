// What the splash window looks like: the configured bitmap size, texts, fonts and colours,
// and where it goes on the desktop.
#pragma once

#include <string>
#include <utility>

#include "platform_splash.h"
#include "property_store.h"

namespace zendra {

// The longest status or version text kept (a buffer of 8192 bytes with its terminator).
inline constexpr std::size_t kSplashTextLimit = 8191;

// The longest font face name kept (the system's face names hold 31 characters).
inline constexpr std::size_t kFontFaceLimit = 31;

// The splash window as configured, centred on the desktop rectangle.
SplashWindowLayout splashWindowLayout(const PropertyStore& store, const ScreenRect& desktop);

// Top-left corner of a width x height window centred on the desktop rectangle.
std::pair<int, int> centredOrigin(const ScreenRect& desktop, int width, int height);

// number * numerator / denominator rounded half away from zero, as the system's MulDiv does;
// -1 when denominator is 0 or the result does not fit.
int mulDiv(int number, int numerator, int denominator);

// The font height for a size in points on a display of dpi dots per inch (negative: the
// character height, as the system's font mapper takes it).
int splashFontHeight(int points, int dpi);

// A text cut to at most limit bytes.
std::string truncated(std::string text, std::size_t limit);

}  // namespace zendra

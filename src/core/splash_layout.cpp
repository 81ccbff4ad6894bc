#include "splash_layout.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "property_ids.h"

namespace zendra {
namespace {

// One text line: its text, position, font and colour properties.
SplashTextLine textLine(const PropertyStore& store, std::int32_t text, std::int32_t x, std::int32_t y,
                        std::int32_t face, std::int32_t points, std::int32_t weight, std::int32_t colour) {
    SplashTextLine line;
    line.text = truncated(store.getProperty(text), kSplashTextLimit);
    line.x = store.getIntProperty(x);
    line.y = store.getIntProperty(y);
    line.fontFace = truncated(store.getProperty(face), kFontFaceLimit);
    line.fontPoints = store.getIntProperty(points);
    line.fontWeight = store.getIntProperty(weight);
    line.colour = store.getColorProperty(colour);
    return line;
}

}  // namespace

std::string truncated(std::string text, std::size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}

std::pair<int, int> centredOrigin(const ScreenRect& desktop, int width, int height) {
    return {(desktop.right - width - desktop.left) / 2, (desktop.bottom - height - desktop.top) / 2};
}

SplashWindowLayout splashWindowLayout(const PropertyStore& store, const ScreenRect& desktop) {
    SplashWindowLayout layout;
    layout.title = store.getProperty(prop::applicationName);
    layout.width = store.getIntProperty(prop::splashWidth);
    layout.height = store.getIntProperty(prop::splashHeight);
    std::tie(layout.x, layout.y) = centredOrigin(desktop, layout.width, layout.height);
    layout.status = textLine(store, prop::statusText, prop::statusX, prop::statusY, prop::statusFont,
                           prop::statusFontSize, prop::statusFontWeight, prop::statusColor);
    layout.version = textLine(store, prop::versionText, prop::versionX, prop::versionY, prop::versionFont,
                            prop::versionFontSize, prop::versionFontWeight, prop::versionColor);
    return layout;
}

int mulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    const std::uint64_t magnitude = static_cast<std::uint64_t>(product < 0 ? -product : product);
    const std::uint64_t divisor = static_cast<std::uint64_t>(std::llabs(denominator));
    const std::uint64_t quotient = (magnitude + divisor / 2) / divisor;
    if (quotient > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) return -1;
    return negative ? -static_cast<int>(quotient) : static_cast<int>(quotient);
}

int splashFontHeight(int points, int dpi) {
    return -mulDiv(points, dpi, 72);
}

}  // namespace zendra

// The download's status line: the progress values and the text made from the configured
// format (message 20008).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zendra::setup {

// Formats a UTF-16 printf-style text with floating-point values: each conversion %f, %e, %g
// or %a (either case; flags, a width and a precision below 100, an optional l or L) takes the
// next value, "%%" gives "%"; any other "%" and conversions beyond the values stay as written.
std::u16string formatWithNumbers(std::u16string_view format, std::span<const double> values);

// The status line of a transfer: format with megabytes received, megabytes in total, percent
// received and bytes received per millisecond over elapsedMs.
std::u16string downloadStatusText(std::u16string_view format, std::uint64_t received, std::uint64_t total,
                                  std::uint32_t elapsedMs);

// The percentage received (0..100) as the progress bar shows it; 100 when nothing is due.
int downloadPercent(std::uint64_t received, std::uint64_t total);

}  // namespace zendra::setup

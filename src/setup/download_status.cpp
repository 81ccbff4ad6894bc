#include "download_status.h"

#include <string>

#include "logger.h"

namespace zendra::setup {
namespace {

constexpr double kMegabyte = 1048576.0;
constexpr std::u16string_view kFlags = u"-+ #0";
constexpr std::u16string_view kFloatConversions = u"fFeEgGaA";
constexpr std::size_t kMaxDigits = 2;  // width and precision stay below 100

// Skips up to kMaxDigits decimal digits; false when more follow.
bool skipDigits(std::u16string_view text, std::size_t& at) {
    std::size_t count = 0;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
        if (++count > kMaxDigits) return false;
        ++at;
    }
    return true;
}

// The 8-bit conversion that starts at text[start] ("%"), without its length modifier, into
// spec; the index behind it, or 0 when no floating-point conversion starts there.
std::size_t floatConversion(std::u16string_view text, std::size_t start, std::string& spec) {
    std::size_t at = start + 1;
    while (at < text.size() && kFlags.find(text[at]) != std::u16string_view::npos && at - start <= kFlags.size()) ++at;
    if (!skipDigits(text, at)) return 0;
    if (at < text.size() && text[at] == u'.') {
        ++at;
        if (!skipDigits(text, at)) return 0;
    }
    spec.clear();
    for (std::size_t i = start; i < at; ++i) spec += static_cast<char>(text[i]);
    if (at < text.size() && (text[at] == u'l' || text[at] == u'L')) ++at;
    if (at >= text.size() || kFloatConversions.find(text[at]) == std::u16string_view::npos) return 0;
    spec += static_cast<char>(text[at]);
    return at + 1;
}

}  // namespace

std::u16string formatWithNumbers(std::u16string_view format, std::span<const double> values) {
    std::u16string out;
    std::string spec;
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] != u'%') {
            out += format[i++];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == u'%') {
            out += u'%';
            i += 2;
            continue;
        }
        const std::size_t end = floatConversion(format, i, spec);
        if (end == 0 || next >= values.size()) {
            out += format[i++];
            continue;
        }
        for (char c : formatText(spec.c_str(), values[next++])) out += static_cast<char16_t>(static_cast<unsigned char>(c));
        i = end;
    }
    return out;
}

std::u16string downloadStatusText(std::u16string_view format, std::uint64_t received, std::uint64_t total,
                                  std::uint32_t elapsedMs) {
    const double got = static_cast<double>(received);
    const double percent = total == 0 ? 100.0 : got * 100.0 / static_cast<double>(total);
    const double values[] = {got / kMegabyte, static_cast<double>(total) / kMegabyte, percent,
                             got / static_cast<double>(std::max<std::uint32_t>(elapsedMs, 1))};
    return formatWithNumbers(format, values);
}

int downloadPercent(std::uint64_t received, std::uint64_t total) {
    if (total == 0 || received >= total) return 100;
    // In floating point, as the status text: exact for any size a download can have, and a
    // 32-bit build then needs no 64-bit division routine.
    return static_cast<int>(static_cast<double>(received) * 100.0 / static_cast<double>(total));
}

}  // namespace zendra::setup

#include "launcher_image.h"

#include <limits>

#include "elf_image.h"
#include "pe_image.h"

namespace zendra::pack {

LauncherFormat launcherFormat(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z') return LauncherFormat::Pe;
    if (hasElfMagic(bytes)) return LauncherFormat::Elf;
    throw PackError("not a PE or ELF file: no MZ or ELF header");
}

LauncherFormat inspectLauncher(std::span<const std::uint8_t> bytes) {
    const LauncherFormat format = launcherFormat(bytes);
    if (format == LauncherFormat::Pe) {
        inspectPe(bytes);
    } else {
        inspectElf(bytes);
    }
    return format;
}

std::vector<std::uint8_t> launcherImage(std::span<const std::uint8_t> bytes, std::vector<std::string>& notes) {
    if (launcherFormat(bytes) == LauncherFormat::Elf) return elfLauncherImage(bytes, notes);
    return peLauncherImage(bytes, notes);
}

std::vector<std::uint8_t> packageExecutable(std::span<const std::uint8_t> launcher, const Package& package,
                                            std::vector<std::string>& notes) {
    std::vector<std::uint8_t> out = launcherImage(launcher, notes);
    const std::vector<std::uint8_t> record = encodeRecord(package);
    out.insert(out.end(), record.begin(), record.end());
    // The launcher keeps the offsets behind the record and behind the included files in 32 bits.
    if (out.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw PackError("the packaged file would reach 4 GiB; the launcher cannot address its data");
    }
    return out;
}

}  // namespace zendra::pack

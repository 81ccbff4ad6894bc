#include "test_pe.h"

namespace zendra::test {
namespace {

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> minimalPe() {
    std::vector<std::uint8_t> b(1024, 0);
    b[0] = 'M';
    b[1] = 'Z';
    const std::size_t pe = 0x80;
    put32(b, 0x3C, pe);
    b[pe] = 'P';
    b[pe + 1] = 'E';
    put16(b, pe + 4, 0x8664);   // machine
    put16(b, pe + 6, 1);        // sections
    put16(b, pe + 20, 0xF0);    // optional header size
    put16(b, pe + 22, 0x0022);  // characteristics: executable, large address aware
    put16(b, pe + 24, 0x20B);   // PE32+ magic
    const std::size_t section = pe + 24 + 0xF0;
    const char name[] = ".text";
    for (std::size_t i = 0; i < 5; ++i) b[section + i] = static_cast<std::uint8_t>(name[i]);
    put32(b, section + 8, 0x200);    // virtual size
    put32(b, section + 12, 0x1000);  // virtual address
    put32(b, section + 16, 0x200);   // size of raw data
    put32(b, section + 20, 0x200);   // pointer to raw data
    return b;
}

}  // namespace zendra::test

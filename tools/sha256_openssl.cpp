#include <openssl/evp.h>

#include "pack_model.h"
#include "pack_text.h"
#include "sha256.h"

namespace zendra::pack {

std::string sha256Hex(const std::vector<std::uint8_t>& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) != 1 || length != 32) {
        throw PackError("SHA-256 failed (OpenSSL)");
    }
    return toHex(std::string_view(reinterpret_cast<const char*>(digest), length));
}

}  // namespace zendra::pack

// SHA-256 of the Windows tool through the launcher's own CNG hashing.
#include "pack_model.h"
#include "pack_text.h"
#include "sha256.h"
#include "win_hashing.h"

namespace zendra::pack {

std::string sha256Hex(const std::vector<std::uint8_t>& data) {
    win::WinHashing hashing;
    std::uint32_t error = 0;
    std::unique_ptr<setup::Sha256> hash = hashing.sha256(error);
    std::optional<setup::Sha256Digest> digest;
    if (hash && hash->update(data.data(), data.size())) digest = hash->finish();
    if (!digest) throw PackError("SHA-256 failed (CNG status " + std::to_string(error) + ")");
    return toHex(std::string_view(reinterpret_cast<const char*>(digest->data()), digest->size()));
}

}  // namespace zendra::pack

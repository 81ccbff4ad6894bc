// The resources the packaging tool adds to a launcher image: the description's image files
// turned into resource data, and the updates that put them in place of older ones.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pack_model.h"
#include "pe_resources.h"

namespace zendra::pack {

// The description member naming a role ("splashBitmap", ...).
std::string roleName(ResourceRole role);

// The role of a description member name; nullopt for unknown names.
std::optional<ResourceRole> roleFromName(const std::string& name);

// The language of every added resource: neutral.
inline constexpr std::uint16_t kResourceLanguage = 0;

// The RT_BITMAP data of a BMP file: the file without its 14-byte file header (a gap between
// the colour table and the pixels is closed). Throws PackError for anything but a BMP.
std::vector<std::uint8_t> bitmapFromBmp(std::span<const std::uint8_t> bmp);

// An .ico file split the way Windows keeps icons: one image per RT_ICON entry, and the
// RT_GROUP_ICON directory whose entries name them by id.
struct IconResources {
    std::vector<std::vector<std::uint8_t>> images;
    std::vector<std::uint8_t> group;
};

// Splits an .ico file; the group names the images firstIds[0], firstIds[1], ... Throws
// PackError for a file that is not an icon file or whose images lie outside it.
IconResources iconsFromIco(std::span<const std::uint8_t> ico, const std::vector<std::uint16_t>& ids);

// The number of images of an .ico file (checked as iconsFromIco checks it).
std::size_t iconImageCount(std::span<const std::uint8_t> ico);

// The complete resource set of an image that holds the existing resources once the files
// are added: each target replaces its older versions in every language, the icons of a
// replaced icon group go unless another group keeps them, new icons take the lowest free
// ids, and empty resources are dropped (with a note). Errors name the description member,
// e.g. "resources.splashBitmap: not a BMP file ...".
std::vector<PeResource> planResources(const std::vector<PeResource>& existing, const std::vector<ResourceFile>& files,
                                      std::vector<std::string>& notes);

// Checks that an image written by the helper holds exactly the planned resources and that
// its last section still ends the file; throws PackError otherwise.
void checkUpdatedImage(std::span<const std::uint8_t> image, const std::vector<PeResource>& planned);

}  // namespace zendra::pack

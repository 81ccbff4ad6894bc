// Adding resources on Windows: the system's own BeginUpdateResourceW / UpdateResourceW /
// EndUpdateResourceW, called in this process on a temporary copy of the launcher image.
#include "win32.h"

#include <fstream>
#include <iterator>

#include "pack_model.h"
#include "resource_helper.h"

namespace zendra::pack {
namespace {

// A fresh file in the user's temporary directory, deleted at destruction.
class TempFile {
public:
    TempFile() {
        wchar_t dir[MAX_PATH + 1];
        wchar_t name[MAX_PATH + 1];
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, dir);
        if (length == 0 || length > MAX_PATH || ::GetTempFileNameW(dir, L"znp", 0, name) == 0) {
            throw PackError("cannot create a temporary file (error " + std::to_string(::GetLastError()) + ")");
        }
        path_ = name;
    }
    ~TempFile() { ::DeleteFileW(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    // The file's path.
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The resource update handle, discarded unless committed.
class ResourceUpdate {
public:
    explicit ResourceUpdate(const std::filesystem::path& target) : handle_(::BeginUpdateResourceW(target.c_str(), TRUE)) {
        if (handle_ == nullptr) fail("BeginUpdateResourceW", ::GetLastError());
    }
    ~ResourceUpdate() {
        if (handle_ != nullptr) ::EndUpdateResourceW(handle_, TRUE);
    }
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;

    // Queues one resource.
    void add(const PeResource& resource) {
        std::vector<std::uint8_t> data = resource.data;
        if (!::UpdateResourceW(handle_, key(resource.type), key(resource.name), resource.language, data.data(),
                               static_cast<DWORD>(data.size()))) {
            fail("UpdateResourceW " + describeKey(resource.type, resource.name), ::GetLastError());
        }
    }
    // Writes the queued resources into the file.
    void commit() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        if (!::EndUpdateResourceW(handle, FALSE)) fail("EndUpdateResourceW", ::GetLastError());
    }

private:
    [[noreturn]] static void fail(const std::string& what, DWORD error) {
        throw PackError("adding resources failed: " + what + " (error " + std::to_string(error) + ")");
    }
    static const wchar_t* key(const ResourceKey& k) {
        return k.isName() ? reinterpret_cast<const wchar_t*>(k.name.c_str()) : MAKEINTRESOURCEW(k.id);
    }

    HANDLE handle_;
};

void writeAll(const std::filesystem::path& path, std::span<const std::uint8_t> data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) throw PackError("cannot write \"" + utf8Of(path) + "\"");
}

std::vector<std::uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::vector<std::uint8_t> addResources(std::vector<std::uint8_t> image, const std::vector<ResourceFile>& files,
                                       const std::optional<std::string>&, std::vector<std::string>& notes) {
    if (files.empty()) return image;
    const std::vector<PeResource> planned = planResources(readResources(image), files, notes);
    const TempFile target;
    writeAll(target.path(), image);
    {
        ResourceUpdate update(target.path());
        for (const PeResource& resource : planned) update.add(resource);
        update.commit();
    }
    std::vector<std::uint8_t> updated = readAll(target.path());
    checkUpdatedImage(updated, planned);
    return updated;
}

}  // namespace zendra::pack

#include "runtime/picture.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "runtime/text.h"

namespace vellora::rt {

PictureService::PictureService(PictureDecoder& decoder, std::size_t capacity)
    : decoder_(decoder), capacity_(capacity == 0 ? 1 : capacity) {}

Picture PictureService::load(const std::string& path) {
    if (path.empty()) return nullptr;
    const auto identity = decoder_.identify(path);
    if (!identity) {
        // The file is gone: forget any decoded copy of it.
        entries_.remove_if([&](const Entry& e) { return e.path == path; });
        throw PictureError("cannot open picture file: " + path);
    }
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->path != path) continue;
        if (it->identity == *identity && !decode_every_load_) {
            entries_.splice(entries_.begin(), entries_, it);
            return entries_.front().picture;
        }
        entries_.erase(it);
        break;
    }
    int reduction = 1;
    if (const auto size = decoder_.pixel_size(path)) {
        if (!picture_size_allowed(*size)) {
            throw PictureError("picture too large: " + path + " (" + std::to_string(size->width) + " x " +
                               std::to_string(size->height) + " pixels)");
        }
        reduction = picture_reduction(*size);
    }
    ++decodes_;
    Picture picture = decoder_.decode(path, reduction);  // throws PictureError
    entries_.push_front(Entry{path, *identity, picture});
    while (entries_.size() > capacity_) entries_.pop_back();
    return picture;
}

const std::vector<std::string>& PictureService::extensions() {
    if (!extensions_) extensions_ = decoder_.extensions();
    return *extensions_;
}

void PictureService::clear() { entries_.clear(); }

bool looks_like_wmf(std::string_view head) {
    if (head.size() < 18) return false;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
    // Placeable metafile: the key 0x9AC6CDD7.
    if (byte(0) == 0xD7 && byte(1) == 0xCD && byte(2) == 0xC6 && byte(3) == 0x9A) return true;
    // Plain metafile header: type 1 (memory) or 2 (disk), header size 9 words, version 0x100 or 0x300.
    const unsigned type = byte(0) | (byte(1) << 8U);
    const unsigned words = byte(2) | (byte(3) << 8U);
    const unsigned version = byte(4) | (byte(5) << 8U);
    return (type == 1 || type == 2) && words == 9 && (version == 0x100 || version == 0x300);
}

std::vector<std::string> picture_extensions(std::vector<std::string> names) {
    static constexpr std::array<std::array<std::string_view, 4>, 2> kSameFormat = {{
        {"jpg", "jpeg", "jpe", "jfif"},
        {"tif", "tiff", "", ""},
    }};
    std::vector<std::string> out;
    for (auto name : names) {
        name = to_lower(std::string(trim(name, " *.")));
        if (name.empty() || name.find_first_of(" *.;|") != std::string::npos) continue;
        out.push_back(name);
        for (const auto& format : kSameFormat) {
            if (std::find(format.begin(), format.end(), name) == format.end()) continue;
            for (const auto other : format) {
                if (!other.empty()) out.emplace_back(other);
            }
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace vellora::rt

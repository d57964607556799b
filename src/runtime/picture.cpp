#include "runtime/picture.h"

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
    if (const auto size = decoder_.pixel_size(path); size && !picture_size_allowed(*size)) {
        throw PictureError("picture too large: " + path + " (" + std::to_string(size->width) + " x " +
                           std::to_string(size->height) + " pixels)");
    }
    ++decodes_;
    Picture picture = decoder_.decode(path);  // throws PictureError
    entries_.push_front(Entry{path, *identity, picture});
    while (entries_.size() > capacity_) entries_.pop_back();
    return picture;
}

void PictureService::clear() { entries_.clear(); }

}  // namespace vellora::rt

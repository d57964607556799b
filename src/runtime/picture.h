// Pictures: decoded image files with their natural size, and the picture
// service that loads them by path behind a cache of decoded pictures.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace vellora::rt {

// The platform's decoded pixels (a QImage, an IPicture, a headless record).
class NativeImage {
public:
    virtual ~NativeImage() = default;
};

// A decoded picture. Its natural size is in hundredths of a millimetre.
struct PictureData {
    std::int32_t himetric_width = 0;
    std::int32_t himetric_height = 0;
    std::string path;
    std::shared_ptr<const NativeImage> image;
};

// An empty Picture (nullptr) shows nothing.
using Picture = std::shared_ptr<const PictureData>;

// Natural size in twips from HIMETRIC.
inline float himetric_to_twips(std::int32_t himetric) {
    return static_cast<float>(static_cast<double>(himetric) * 1440.0 / 2540.0);
}

// A picture file that cannot be loaded: missing, unreadable or not a picture.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A picture's size in pixels.
struct PixelSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The largest picture that is decoded, on every platform. No side may be
// longer than 65,535 pixels, the most a JPEG or a GIF can hold (four times
// the long side of a 200-megapixel photo): at any resolution of 1 dot per
// inch or more its natural size, 65,535 x 2540 / dpi hundredths of a
// millimetre, fits a 32-bit integer many times over. And no picture may
// have more than 100 million pixels, 400 MB decoded.
inline constexpr std::int64_t kMaxPictureSide = 65'535;
inline constexpr std::int64_t kMaxPicturePixels = 100'000'000;

// True when a picture of `size` may be decoded.
[[nodiscard]] constexpr bool picture_size_allowed(PixelSize size) {
    return size.width <= kMaxPictureSide && size.height <= kMaxPictureSide &&
           size.width * size.height <= kMaxPicturePixels;
}

// What tells one version of a file from another without reading it.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // platform ticks; only compared for equality
    std::uint64_t extra = 0;    // inode or similar, where the platform has one
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The platform's decoder.
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    // The file's identity, or nothing when there is no such readable file.
    [[nodiscard]] virtual std::optional<FileIdentity> identify(const std::string& path) = 0;
    // The picture's size in pixels as the file's header gives it, read
    // without decoding a pixel; nothing when the header does not say (a
    // metafile, a format the header reader does not know, not a picture).
    [[nodiscard]] virtual std::optional<PixelSize> pixel_size(const std::string& path) = 0;
    // Decodes the file; throws PictureError when it is not a picture. A
    // picture whose header did not give its size is refused here when it
    // proves too large (picture_size_allowed).
    [[nodiscard]] virtual Picture decode(const std::string& path) = 0;
};

// Loads pictures by path. The file is looked at on every load, so a file
// replaced on disk is seen at the next load, but an unchanged file (same
// path, size and modification time) is served from the decoded copy. A
// picture whose header gives a size over the caps is refused before it is
// decoded.
class PictureService {
public:
    explicit PictureService(PictureDecoder& decoder, std::size_t capacity = 4);

    // The empty path gives an empty picture; failures throw PictureError.
    [[nodiscard]] Picture load(const std::string& path);

    void clear();
    // How often the decoder was asked to decode a file.
    [[nodiscard]] std::size_t decodes() const { return decodes_; }
    // For speed comparisons only: no decoded copies are kept, every load
    // decodes the file again.
    void set_decode_every_load(bool every) { decode_every_load_ = every; }

private:
    struct Entry {
        std::string path;
        FileIdentity identity;
        Picture picture;
    };
    PictureDecoder& decoder_;
    std::size_t capacity_;
    std::list<Entry> entries_;  // most recently used first
    std::size_t decodes_ = 0;
    bool decode_every_load_ = false;
};

}  // namespace vellora::rt

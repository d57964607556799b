// Pictures: decoded image files with their natural size, and the picture
// service that loads them by path behind a cache of decoded pictures.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

// How large a picture may be, on every platform. Its header may claim no
// side longer than 65,535 pixels, the most a JPEG or a GIF can hold: at any
// resolution of 1 dot per inch or more its natural size, 65,535 x 2540 /
// dpi hundredths of a millimetre, fits a 32-bit integer many times over.
// And no more than 2^28 (268 million) pixels in all, 16384 x 16384: room
// for the 108- and 200-megapixel photos of today's phones (12000 x 9000,
// 16320 x 12240) while a file of a few kilobytes still cannot keep a
// decoder busy for minutes. A larger picture is refused before it is
// decoded, as one that cannot be read is.
inline constexpr std::int64_t kMaxPictureSide = 65'535;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;
// No decoded picture holds more than 2^25 (33.5 million) pixels, 128 MB:
// every ordinary photo (12 megapixels from a phone, 24 to 33 from a
// camera) is decoded whole. One with more is decoded at half its width and
// height, or a quarter (an eighth: the first that fits), which JPEG
// decoders do as they decode, never holding the full-size pixels. The saver
// shows a picture unscaled, so a 200-megapixel photo shows at 4080 x 3060,
// as large as the same phone saves its photos unless told otherwise, and a
// screen shows as much of it as of any phone photo; a 108-megapixel one at
// 6000 x 4500, a 48-megapixel one at 4000 x 3000.
inline constexpr std::int64_t kMaxDecodedPixels = std::int64_t{1} << 25;

// True when a picture whose header claims `size` may be decoded.
[[nodiscard]] constexpr bool picture_size_allowed(PixelSize size) {
    return size.width >= 0 && size.height >= 0 && size.width <= kMaxPictureSide && size.height <= kMaxPictureSide &&
           size.width * size.height <= kMaxPicturePixels;
}

// A picture's size decoded at 1 / `reduction` of its width and height
// (a part pixel counts whole).
[[nodiscard]] constexpr PixelSize reduced_size(PixelSize size, int reduction) {
    return {(size.width + reduction - 1) / reduction, (size.height + reduction - 1) / reduction};
}

// By what a picture of `size` (within the caps) is divided at decoding:
// 1, 2, 4 or 8, the first whose pixels fit kMaxDecodedPixels.
[[nodiscard]] constexpr int picture_reduction(PixelSize size) {
    int reduction = 1;
    while (reduction < 8) {
        const PixelSize r = reduced_size(size, reduction);
        if (r.width * r.height <= kMaxDecodedPixels) break;
        reduction *= 2;
    }
    return reduction;
}

// True when decoded pixels of `size` are within the caps: what a decoder
// that found no size in the header holds its picture to.
[[nodiscard]] constexpr bool decoded_size_allowed(PixelSize size) {
    return picture_size_allowed(size) && size.width * size.height <= kMaxDecodedPixels;
}

// True when a file's first bytes are those of a Windows metafile
// (placeable or plain), which no header reader sizes.
[[nodiscard]] bool looks_like_wmf(std::string_view head);

// The file name extensions of picture formats as a file dialog lists them:
// lower case, without the dot, sorted, each once, with the other names of
// a format some of whose names are there (a JPEG is also a .jpe or .jfif
// file, a TIFF a .tif or .tiff file): decoders know a file by its content.
[[nodiscard]] std::vector<std::string> picture_extensions(std::vector<std::string> names);

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
    // Decodes the file at 1 / `reduction` of its width and height (a part
    // pixel counts whole), turned as the file says it is shown; throws
    // PictureError when it is not a picture. A picture whose header did not
    // give its size is refused here when it proves too large
    // (decoded_size_allowed).
    [[nodiscard]] virtual Picture decode(const std::string& path, int reduction) = 0;
    // The extensions of the picture files this platform's decoders read
    // (picture_extensions), for the file dialog.
    [[nodiscard]] virtual std::vector<std::string> extensions() = 0;
};

// Loads pictures by path. The file is looked at on every load, so a file
// replaced on disk is seen at the next load, but an unchanged file (same
// path, size and modification time) is served from the decoded copy. A
// picture whose header gives a size over the caps is refused before it is
// decoded; one over kMaxDecodedPixels is decoded reduced.
class PictureService {
public:
    explicit PictureService(PictureDecoder& decoder, std::size_t capacity = 4);

    // The empty path gives an empty picture; failures throw PictureError.
    [[nodiscard]] Picture load(const std::string& path);

    // The extensions of the picture files the platform reads.
    [[nodiscard]] const std::vector<std::string>& extensions();

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
    std::optional<std::vector<std::string>> extensions_;  // asked once
};

}  // namespace vellora::rt

// Picture files on Qt: BMP, GIF, JPEG, ICO, PNG and what Qt's image format
// plugins read (WebP, TIFF ...) through QImageReader, turned upright as
// their Exif data says; WMF through libwmf; each rendered once into a
// QImage.
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/picture.h"

namespace vellora::qt {

// The decoded pixels of one picture.
class QtImage final : public rt::NativeImage {
public:
    explicit QtImage(QImage image) : image_(std::move(image)) {}
    [[nodiscard]] const QImage& image() const { return image_; }

private:
    QImage image_;
};

// The decoded pixels of a picture, or nullptr (none, or not decoded here).
[[nodiscard]] const QImage* decoded_pixels(const rt::PictureData& picture);

// A metafile is drawn at its own size and passed on as a PNG: about a tenth
// of a second per million pixels. Drawings larger than 4096 x 4096 pixels are
// refused, so that a file of a few bytes cannot keep the saver busy for
// seconds.
inline constexpr std::int64_t kMaxMetafilePixels = 4096LL * 4096LL;

// The most a picture decoded at its full size before it is reduced may
// take: 100 million pixels.
inline constexpr std::int64_t kMaxFullDecodeBytes = 100'000'000LL * 4;

// Natural size in HIMETRIC of `pixels` at `dpi` dots per inch (half to even).
std::int32_t pixels_to_himetric(int pixels, double dpi);

// Where libwmf writes the PNG it draws: each piece it hands over is added
// to `bytes`. Nothing may be thrown through libwmf's C code, so a piece
// that cannot be added (no memory left) marks the sink failed instead,
// and the decode fails.
template <typename Bytes>
struct PngSink {
    Bytes bytes;
    bool failed = false;
    // libwmf's sink function; `context` is the sink.
    static int take(void* context, char* buffer, int length) noexcept {
        auto& sink = *static_cast<PngSink*>(context);
        if (sink.failed || length <= 0) return 0;
        try {
            sink.bytes.append(buffer, static_cast<std::size_t>(length));
            return length;
        } catch (...) {
            sink.failed = true;
            return 0;
        }
    }
};

class QtPictureDecoder final : public rt::PictureDecoder {
public:
    // `dpi` gives the screen's logical dots per inch at the time of decoding.
    // `trace` (optional) hears of every decode and its outcome.
    explicit QtPictureDecoder(std::function<double()> dpi, std::function<void(const std::string&)> trace = {});
    [[nodiscard]] std::optional<rt::FileIdentity> identify(const std::string& path) override;
    // QImageReader's header size; nothing for a metafile, whose drawing
    // size libwmf finds only by reading every record.
    [[nodiscard]] std::optional<rt::PixelSize> pixel_size(const std::string& path) override;
    [[nodiscard]] rt::Picture decode(const std::string& path, int reduction) override;
    // The formats of Qt's image readers (its own and the plugins found at
    // run time: WebP, TIFF ...) and metafiles.
    [[nodiscard]] std::vector<std::string> extensions() override;

private:
    [[nodiscard]] rt::Picture decode_raster(const std::string& path, double dpi, int reduction);
    [[nodiscard]] rt::Picture decode_wmf(const std::string& path, double dpi);
    std::function<double()> dpi_;
    std::function<void(const std::string&)> trace_;
};

}  // namespace vellora::qt

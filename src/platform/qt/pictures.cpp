#include "platform/qt/pictures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QImageReader>
#include <cmath>
#include <fstream>
#include <memory>

extern "C" {
#include <libwmf/api.h>
#include <libwmf/gd.h>
}

namespace vellora::qt {

std::int32_t pixels_to_himetric(int pixels, double dpi) {
    return static_cast<std::int32_t>(std::nearbyint(static_cast<double>(pixels) * 2540.0 / dpi));
}

const QImage* decoded_pixels(const rt::PictureData& picture) {
    const auto* native = dynamic_cast<const QtImage*>(picture.image.get());
    return native != nullptr && !native->image().isNull() ? &native->image() : nullptr;
}

QtPictureDecoder::QtPictureDecoder(std::function<double()> dpi, std::function<void(const std::string&)> trace)
    : dpi_(std::move(dpi)), trace_(std::move(trace)) {}

std::optional<rt::FileIdentity> QtPictureDecoder::identify(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0) {
        return std::nullopt;
    }
    const std::int64_t modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec;
    return rt::FileIdentity{static_cast<std::uint64_t>(st.st_size), modified, static_cast<std::uint64_t>(st.st_ino)};
}

namespace {

// The first bytes of the file, enough to tell a metafile; nothing when it cannot be opened.
std::optional<std::string> file_head(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string head(32, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

}  // namespace

std::optional<rt::PixelSize> QtPictureDecoder::pixel_size(const std::string& path) {
    const auto head = file_head(path);
    if (!head || rt::looks_like_wmf(*head)) return std::nullopt;
    const QSize size = QImageReader(QString::fromStdString(path)).size();
    if (!size.isValid()) return std::nullopt;
    return rt::PixelSize{size.width(), size.height()};
}

rt::Picture QtPictureDecoder::decode(const std::string& path, int reduction) {
    const auto head = file_head(path);
    if (!head) throw rt::PictureError("cannot open picture file: " + path);
    const double dpi = dpi_ ? dpi_() : 96.0;
    try {
        auto picture = rt::looks_like_wmf(*head) ? decode_wmf(path, dpi) : decode_raster(path, dpi, reduction);
        if (trace_) {
            const auto* native = dynamic_cast<const QtImage*>(picture->image.get());
            const QSize px = native != nullptr ? native->image().size() : QSize();
            trace_("picture [" + path + "] " + std::to_string(px.width()) + "x" + std::to_string(px.height()) +
                   " px " + std::to_string(picture->himetric_width) + "x" +
                   std::to_string(picture->himetric_height) + " himetric");
        }
        return picture;
    } catch (const rt::PictureError& e) {
        if (trace_) trace_("picture [" + path + "] failed: " + e.what());
        throw;
    }
}

std::vector<std::string> QtPictureDecoder::extensions() {
    std::vector<std::string> names = {"wmf"};
    for (const QByteArray& format : QImageReader::supportedImageFormats()) names.push_back(format.toStdString());
    return rt::picture_extensions(std::move(names));
}

rt::Picture QtPictureDecoder::decode_raster(const std::string& path, double dpi, int reduction) {
    QImageReader reader(QString::fromStdString(path));
    // A photo's Exif orientation (JPEG, TIFF) turns it upright; the size
    // asked for is the stored one, which Qt reduces before it turns it.
    reader.setAutoTransform(true);
    if (reduction > 1) {
        const QSize stored = reader.size();
        const rt::PixelSize reduced = rt::reduced_size({stored.width(), stored.height()}, reduction);
        reader.setScaledSize(QSize(static_cast<int>(reduced.width), static_cast<int>(reduced.height)));
    }
    // The picture service refused a header over the caps and asked for a
    // picture over the decoded pixels' cap reduced, which Qt's JPEG reader
    // does as it decodes. A reader that first decodes the full size (PNG,
    // TIFF) may take 400 MB for it, a picture of 100 million pixels; Qt
    // refuses a larger one before it allocates, as it does where the header
    // gave no size.
    reader.setAllocationLimit(static_cast<int>(kMaxFullDecodeBytes / (1024 * 1024)) + 1);
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        throw rt::PictureError("not a picture: " + path + " (" + reader.errorString().toStdString() + ")");
    }
    if (!rt::decoded_size_allowed({image.width(), image.height()})) throw rt::PictureError("picture too large: " + path);
    const auto format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    image.convertTo(format);
    auto data = std::make_shared<rt::PictureData>();
    data->himetric_width = pixels_to_himetric(image.width(), dpi);
    data->himetric_height = pixels_to_himetric(image.height(), dpi);
    data->path = path;
    data->image = std::make_shared<QtImage>(std::move(image));
    return data;
}

namespace {

// libwmf's session, destroyed on every way out.
struct WmfSession {
    wmfAPI* api = nullptr;
    WmfSession() = default;
    WmfSession(const WmfSession&) = delete;
    WmfSession& operator=(const WmfSession&) = delete;
    ~WmfSession() {
        if (api != nullptr) wmf_api_destroy(api);
    }
};

// The metafile a session reads, closed on every way out (before the
// session ends: declared after it).
class WmfFile {
public:
    WmfFile(wmfAPI* api, std::string path) : api_(api) {
        open_ = wmf_file_open(api_, path.data()) == wmf_E_None;
    }
    ~WmfFile() {
        if (open_) wmf_file_close(api_);
    }
    WmfFile(const WmfFile&) = delete;
    WmfFile& operator=(const WmfFile&) = delete;
    [[nodiscard]] bool is_open() const { return open_; }

private:
    wmfAPI* api_;
    bool open_ = false;
};

}  // namespace

rt::Picture QtPictureDecoder::decode_wmf(const std::string& path, double dpi) {
    WmfSession session;
    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL;
    if (wmf_api_create(&session.api, flags, &options) != wmf_E_None) {
        session.api = nullptr;
        throw rt::PictureError("cannot start the metafile reader");
    }
    const WmfFile file(session.api, path);
    if (!file.is_open()) throw rt::PictureError("cannot open picture file: " + path);
    wmfD_Rect bbox{};
    if (wmf_scan(session.api, 0, &bbox) != wmf_E_None) {
        throw rt::PictureError("not a metafile: " + path);
    }
    // The metafile's own size: at 2540 "dots" per inch its display size is in HIMETRIC.
    float width_units = 0;
    float height_units = 0;
    unsigned int width_hm = 0;
    unsigned int height_hm = 0;
    unsigned int width_px = 0;
    unsigned int height_px = 0;
    if (wmf_size(session.api, &width_units, &height_units) != wmf_E_None ||
        wmf_display_size(session.api, &width_hm, &height_hm, 2540.0, 2540.0) != wmf_E_None ||
        wmf_display_size(session.api, &width_px, &height_px, dpi, dpi) != wmf_E_None || width_units <= 0 ||
        height_units <= 0 || width_px == 0 || height_px == 0) {
        throw rt::PictureError("metafile without a size: " + path);
    }
    if (!rt::decoded_size_allowed({width_px, height_px}) ||
        static_cast<std::int64_t>(width_px) * height_px > kMaxMetafilePixels) {
        throw rt::PictureError("picture too large: " + path);
    }
    auto* device = WMF_GD_GetData(session.api);
    if ((device->flags & WMF_GD_SUPPORTS_PNG) == 0U) {
        throw rt::PictureError("cannot draw metafile: " + path);
    }
    // libwmf hands the drawn metafile over as PNG bytes; the drawing it made
    // them from stays its own and is freed with the session. (A drawing taken
    // over as a gd image has no call to free it, and leaked its pixels on
    // every decode.)
    PngSink<std::string> png;
    device->type = wmf_gd_png;
    device->flags |= WMF_GD_OUTPUT_MEMORY | WMF_GD_OWN_BUFFER;
    device->sink.context = &png;
    device->sink.function = PngSink<std::string>::take;
    device->bbox = bbox;
    device->width = width_px;
    device->height = height_px;
    const auto played = wmf_play(session.api, 0, &bbox);
    QImage image;
    if (played != wmf_E_None || png.failed || png.bytes.empty() ||
        !image.loadFromData(reinterpret_cast<const uchar*>(png.bytes.data()), static_cast<int>(png.bytes.size()),
                            "PNG")) {
        throw rt::PictureError("cannot draw metafile: " + path);
    }
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    auto data = std::make_shared<rt::PictureData>();
    data->himetric_width = static_cast<std::int32_t>(width_hm);
    data->himetric_height = static_cast<std::int32_t>(height_hm);
    data->path = path;
    data->image = std::make_shared<QtImage>(std::move(image));
    return data;
}

}  // namespace vellora::qt

#include "platform/win32/pictures.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <tuple>

#include <olectl.h>
#include <propidl.h>
#include <wincodec.h>

#include "platform/win32/services.h"
#include "runtime/orientation.h"

namespace vellora::win32 {

namespace {

// Larger files are refused rather than read into memory.
constexpr std::uint64_t kMaxPictureFile = std::uint64_t{256} << 20U;
// Premultiplied pixels blended over what is there.
constexpr BLENDFUNCTION kOver{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
// Where a JPEG's Exif block lies (it comes before the pixels, 64 KB at most).
constexpr DWORD kHeadBytes = 128 * 1024;

// A picture's natural size in HIMETRIC from its pixels on this screen, as
// OLE gives a bitmap's.
std::pair<std::int32_t, std::int32_t> himetric_of(std::int64_t width, std::int64_t height) {
    const WindowDc screen(nullptr);
    return {MulDiv(static_cast<int>(width), 2540, GetDeviceCaps(screen.get(), LOGPIXELSX)),
            MulDiv(static_cast<int>(height), 2540, GetDeviceCaps(screen.get(), LOGPIXELSY))};
}

// The file's first bytes; nothing when it cannot be read.
std::optional<std::string> file_head(const std::string& path) {
    const KernelHandle file = own_file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string head(kHeadBytes, '\0');
    DWORD got = 0;
    if (ReadFile(file.get(), head.data(), kHeadBytes, &got, nullptr) == FALSE) return std::nullopt;
    head.resize(got);
    return head;
}

// An enhanced metafile: its header record (type 1) with the signature " EMF".
bool looks_like_emf(const std::string& head) {
    return head.size() >= 44 && head.compare(0, 4, std::string("\x01\0\0\0", 4)) == 0 && head.compare(40, 4, " EMF") == 0;
}

ComPtr<IWICImagingFactory> imaging_factory() {
    ComPtr<IWICImagingFactory> wic;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic)))) {
        return nullptr;
    }
    return wic;
}

// The first frame of a file WIC reads, and its size in the header.
struct FirstFrame {
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    rt::PixelSize size;
};

// Nothing when WIC cannot read the file.
std::optional<FirstFrame> first_frame(IWICImagingFactory& wic, const std::string& path) {
    FirstFrame first;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(wic.CreateDecoderFromFilename(wide_from_ansi(path).c_str(), nullptr, GENERIC_READ,
                                             WICDecodeMetadataCacheOnDemand, &first.decoder)) ||
        FAILED(first.decoder->GetFrame(0, &first.frame)) || FAILED(first.frame->GetSize(&width, &height))) {
        return std::nullopt;
    }
    first.size = {width, height};
    return first;
}

// The Exif orientation WIC reads from the frame's metadata; nothing where it
// has no reader for it (Wine has none).
std::optional<int> wic_orientation(IWICBitmapFrameDecode& frame) {
    ComPtr<IWICMetadataQueryReader> query;
    if (FAILED(frame.GetMetadataQueryReader(&query)) || !query) return std::nullopt;
    for (const wchar_t* name : {L"System.Photo.Orientation", L"/app1/ifd/{ushort=274}", L"/ifd/{ushort=274}"}) {
        PROPVARIANT value;
        PropVariantInit(&value);
        const bool found = SUCCEEDED(query->GetMetadataByName(name, &value)) && value.vt == VT_UI2;
        const int orientation = found ? value.uiVal : 0;
        PropVariantClear(&value);
        if (orientation >= 1 && orientation <= 8) return orientation;
    }
    return std::nullopt;
}

// How WIC turns a picture of each orientation upright: a turn clockwise,
// then a mirror.
std::vector<WICBitmapTransformOptions> upright_steps(int orientation) {
    switch (orientation) {
        case 2: return {WICBitmapTransformFlipHorizontal};
        case 3: return {WICBitmapTransformRotate180};
        case 4: return {WICBitmapTransformFlipVertical};
        case 5: return {WICBitmapTransformRotate90, WICBitmapTransformFlipHorizontal};
        case 6: return {WICBitmapTransformRotate90};
        case 7: return {WICBitmapTransformRotate270, WICBitmapTransformFlipHorizontal};
        case 8: return {WICBitmapTransformRotate270};
        default: return {};
    }
}

// Copies the 32-bit pixels of `source` (`stored` in size) upright into
// `bits` (shown_size x 4 bytes a row) through WIC's flip-rotator, a band of
// rows at a time (what a band of the picture needs is all that is read and
// converted at once). Where it cannot (Wine's turns and mirrors nothing),
// row by row by hand.
bool copy_upright(IWICImagingFactory& wic, IWICBitmapSource& source, rt::PixelSize stored, int orientation,
                  BYTE* bits) {
    constexpr std::int64_t kBand = 256;
    const rt::PixelSize shown = rt::shown_size(stored, orientation);
    const auto stride = static_cast<UINT>(shown.width * 4);
    const auto in_bands = [&](IWICBitmapSource& from) {
        for (std::int64_t top = 0; top < shown.height; top += kBand) {
            const auto rows = static_cast<INT>(std::min(kBand, shown.height - top));
            const WICRect band{0, static_cast<INT>(top), static_cast<INT>(shown.width), rows};
            if (FAILED(from.CopyPixels(&band, stride, stride * static_cast<UINT>(rows), bits + top * stride))) return false;
        }
        return true;
    };
    ComPtr<IWICBitmapSource> turned(&source);
    for (const auto step : upright_steps(orientation)) {
        ComPtr<IWICBitmapFlipRotator> rotator;
        if (FAILED(wic.CreateBitmapFlipRotator(&rotator)) || FAILED(rotator->Initialize(turned.Get(), step))) {
            turned.Reset();
            break;
        }
        turned = rotator;
    }
    if (turned && in_bands(*turned.Get())) return true;
    std::vector<std::uint32_t> row(static_cast<std::size_t>(stored.width));
    const auto* from = row.data();
    auto* to = reinterpret_cast<std::uint32_t*>(bits);
    for (std::int64_t y = 0; y < stored.height; ++y) {
        const WICRect line{0, static_cast<INT>(y), static_cast<INT>(stored.width), 1};
        if (FAILED(source.CopyPixels(&line, static_cast<UINT>(stored.width * 4), static_cast<UINT>(stored.width * 4),
                                     reinterpret_cast<BYTE*>(row.data())))) {
            return false;
        }
        for (std::int64_t x = 0; x < stored.width; ++x) {
            const auto place = rt::shown_place({x, y}, stored, orientation);
            to[place.y * shown.width + place.x] = from[x];
        }
    }
    return true;
}

rt::Picture make_picture(ComPtr<IPicture> picture, const std::string& path) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    auto data = std::make_shared<rt::PictureData>();
    data->himetric_width = static_cast<std::int32_t>(width);
    data->himetric_height = static_cast<std::int32_t>(height);
    data->path = path;
    data->image = std::make_shared<OlePicture>(std::move(picture));
    return data;
}

// A bitmap picture's own bitmap; nullptr for the other kinds.
HBITMAP bitmap_of(IPicture& picture) {
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    if (FAILED(picture.get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture.get_Handle(&handle))) {
        return nullptr;
    }
    // OLE hands the handle over as 32 bits; handles are sign-extended.
    return reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(static_cast<LONG>(handle)));
}

// The pixels of a decoded picture: a bitmap's own, or what the natural size
// covers on this screen (a metafile, an icon).
rt::PixelSize decoded_size(IPicture& picture) {
    BITMAP info{};
    if (HBITMAP bitmap = bitmap_of(picture);
        bitmap != nullptr && GetObjectA(bitmap, sizeof info, &info) == static_cast<int>(sizeof info)) {
        return {info.bmWidth, info.bmHeight};
    }
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture.get_Width(&width);
    picture.get_Height(&height);
    const WindowDc screen(nullptr);
    const auto pixels = [](std::int64_t himetric, int dpi) { return (himetric * dpi + 1270) / 2540; };
    return {pixels(width, GetDeviceCaps(screen.get(), LOGPIXELSX)), pixels(height, GetDeviceCaps(screen.get(), LOGPIXELSY))};
}

}  // namespace

// ------------------------------------------------------------------ PixelPicture

PixelPicture::PixelPicture(GdiObject<HBITMAP> bitmap, int width, int height, bool opaque)
    : bitmap_(std::move(bitmap)), dc_(CreateCompatibleDC(nullptr)), selected_(dc_.get(), bitmap_.get()),
      width_(width), height_(height), opaque_(opaque) {}

bool PixelPicture::copy(HDC dc, int x, int y, int cx, int cy, int src_x, int src_y, int width, int height) const {
    if (width != width_ || height != height_ || !selected_.selected()) return false;
    if (opaque_) return BitBlt(dc, x, y, cx, cy, dc_.get(), src_x, src_y, SRCCOPY) != FALSE;
    return AlphaBlend(dc, x, y, cx, cy, dc_.get(), src_x, src_y, cx, cy, kOver) != FALSE;
}

void PixelPicture::render(HDC dc, int x, int y, int cx, int cy) const {
    if (cx <= 0 || cy <= 0 || !selected_.selected()) return;
    if (!opaque_) {
        AlphaBlend(dc, x, y, cx, cy, dc_.get(), 0, 0, width_, height_, kOver);
        return;
    }
    // Whole rows and columns dropped or repeated, none mixed, as a bitmap
    // was stretched before.
    const int mode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, x, y, cx, cy, dc_.get(), 0, 0, width_, height_, SRCCOPY);
    SetStretchBltMode(dc, mode);
}

// ------------------------------------------------------------------ OlePicture

OlePicture::OlePicture(ComPtr<IPicture> picture) : picture_(std::move(picture)) {
    IPicture* ole = picture_.Get();
    DWORD attributes = 0;
    HBITMAP bitmap = ole != nullptr ? bitmap_of(*ole) : nullptr;
    if (bitmap == nullptr) return;
    // A bitmap with a mask (a GIF's transparent colour) shows what lies beneath.
    if (FAILED(ole->get_Attributes(&attributes)) || (attributes & PICTURE_TRANSPARENT) != 0) return;
    BITMAP info{};
    if (GetObjectA(bitmap, sizeof info, &info) != static_cast<int>(sizeof info) || info.bmWidth <= 0 ||
        info.bmHeight <= 0) {
        return;
    }
    opaque_ = true;
    bitmap_ = bitmap;
    bitmap_size_ = SIZE{info.bmWidth, info.bmHeight};
}

bool OlePicture::copy(HDC dc, int x, int y, int cx, int cy, int src_x, int src_y, int width, int height) const {
    if (bitmap_ == nullptr || width != bitmap_size_.cx || height != bitmap_size_.cy) return false;
    if (!source_) source_.reset(CreateCompatibleDC(nullptr));
    if (!source_) return false;
    const Selection selected(source_.get(), bitmap_);
    if (!selected.selected()) return false;  // selected elsewhere at the moment
    BitBlt(dc, x, y, cx, cy, source_.get(), src_x, src_y, SRCCOPY);
    return true;
}

void OlePicture::render(HDC dc, int x, int y, int cx, int cy) const {
    IPicture* picture = picture_.Get();
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    // The source rectangle is in HIMETRIC, counted up from the bottom edge.
    picture->Render(dc, x, y, cx, cy, 0, height, width, -height, nullptr);
}

std::optional<rt::FileIdentity> PictureDecoder::identify(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == FALSE) return std::nullopt;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    rt::FileIdentity id;
    id.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32U) | data.nFileSizeLow;
    id.modified = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32U) |
                                            data.ftLastWriteTime.dwLowDateTime);
    return id;
}

namespace {

// OLE's decode of the whole file; throws PictureError.
rt::Picture decode_ole(const std::string& path) {
    KernelHandle file = own_file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw rt::PictureError("cannot open picture file: " + path);
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) == FALSE || size.QuadPart <= 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > kMaxPictureFile) {
        throw rt::PictureError("not a picture: " + path);
    }
    const auto bytes = static_cast<DWORD>(size.QuadPart);
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) throw rt::PictureError("out of memory reading " + path);
    DWORD got = 0;
    void* target = GlobalLock(memory.get());
    const bool read_ok = target != nullptr && ReadFile(file.get(), target, bytes, &got, nullptr) != FALSE;
    GlobalUnlock(memory.get());
    file.reset();  // the file is closed before the picture is decoded
    if (!read_ok || got != bytes) throw rt::PictureError("cannot read picture file: " + path);

    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, stream.ReleaseAndGetAddressOf())) || !stream) {
        throw rt::PictureError("cannot read picture file: " + path);
    }
    memory.release();  // the stream frees the memory now
    ComPtr<IPicture> picture;
    const HRESULT hr = OleLoadPicture(stream.Get(), static_cast<LONG>(bytes), FALSE, IID_IPicture,
                                      reinterpret_cast<void**>(picture.ReleaseAndGetAddressOf()));
    if (FAILED(hr) || !picture) throw rt::PictureError("not a picture: " + path);
    // What WIC could not size beforehand is held to the caps now.
    if (!rt::decoded_size_allowed(decoded_size(*picture.Get()))) throw rt::PictureError("picture too large: " + path);
    return make_picture(std::move(picture), path);
}

// WIC's decode of the file's first frame into 32-bit premultiplied pixels,
// 1 / `reduction` of its size and turned upright; nothing when WIC cannot
// read it. Throws PictureError when it is too large.
rt::Picture decode_wic(const std::string& path, const std::string& head, int reduction) {
    const ComPtr<IWICImagingFactory> wic = imaging_factory();
    const auto first = wic ? first_frame(*wic.Get(), path) : std::nullopt;
    if (!first || first->size.width == 0 || first->size.height == 0) return nullptr;
    const ComPtr<IWICBitmapFrameDecode>& frame = first->frame;
    if (!rt::picture_size_allowed(first->size)) throw rt::PictureError("picture too large: " + path);
    const int orientation = wic_orientation(*frame.Get()).value_or(rt::exif_orientation(head));
    const rt::PixelSize stored = rt::reduced_size(first->size, reduction);
    const rt::PixelSize shown = rt::shown_size(stored, orientation);
    if (!rt::decoded_size_allowed(shown)) throw rt::PictureError("picture too large: " + path);
    ComPtr<IWICBitmapSource> source = frame;
    if (reduction > 1) {
        ComPtr<IWICBitmapScaler> scaler;
        if (FAILED(wic->CreateBitmapScaler(&scaler)) ||
            FAILED(scaler->Initialize(source.Get(), static_cast<UINT>(stored.width), static_cast<UINT>(stored.height),
                                      WICBitmapInterpolationModeFant))) {
            return nullptr;
        }
        source = scaler;
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(wic->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom))) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(shown.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(shown.height);  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) throw rt::PictureError("out of memory for " + path);
    if (!copy_upright(*wic.Get(), *converter.Get(), stored, orientation, static_cast<BYTE*>(bits))) return nullptr;
    // Opaque when every pixel is: a PNG's alpha or a GIF's transparent
    // colour that no pixel uses hides what lies beneath all the same.
    const auto* pixel = static_cast<const std::uint32_t*>(bits);
    const bool opaque = std::all_of(pixel, pixel + shown.width * shown.height,
                                    [](std::uint32_t p) { return (p >> 24U) == 0xFFU; });
    auto data = std::make_shared<rt::PictureData>();
    std::tie(data->himetric_width, data->himetric_height) = himetric_of(shown.width, shown.height);
    data->path = path;
    data->image = std::make_shared<PixelPicture>(std::move(bitmap), static_cast<int>(shown.width),
                                                 static_cast<int>(shown.height), opaque);
    return data;
}

}  // namespace

rt::Picture PictureDecoder::decode(const std::string& path, int reduction) {
    const auto head = file_head(path);
    if (!head) throw rt::PictureError("cannot open picture file: " + path);
    // Metafiles are OLE's; every bitmap is WIC's first. OLE decodes what WIC
    // could not read only at its full size, held to the caps.
    if (!rt::looks_like_wmf(*head) && !looks_like_emf(*head)) {
        if (auto picture = decode_wic(path, *head, reduction)) return picture;
        if (reduction > 1) throw rt::PictureError("picture too large: " + path);
    }
    return decode_ole(path);
}

std::vector<std::string> PictureDecoder::extensions() {
    std::vector<std::string> names = {"wmf", "emf"};
    const ComPtr<IWICImagingFactory> wic = imaging_factory();
    ComPtr<IEnumUnknown> decoders;
    if (wic && SUCCEEDED(wic->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault, &decoders))) {
        ComPtr<IUnknown> component;
        while (decoders->Next(1, component.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            ComPtr<IWICBitmapCodecInfo> codec;
            UINT length = 0;
            if (FAILED(component.As(&codec)) || FAILED(codec->GetFileExtensions(0, nullptr, &length)) || length == 0) {
                continue;
            }
            std::wstring extensions(length, L'\0');
            if (FAILED(codec->GetFileExtensions(length, extensions.data(), &length))) continue;
            // ".jpg,.jpeg" on Windows, ".jpg;.jpeg" under Wine.
            std::wstring one;
            for (const wchar_t c : extensions + L",") {
                if (c != L',' && c != L';' && c != L'\0') {
                    one += c;
                } else if (!one.empty()) {
                    names.push_back(ansi_from_wide(one));
                    one.clear();
                }
            }
        }
    }
    return rt::picture_extensions(std::move(names));
}

std::optional<rt::PixelSize> PictureDecoder::pixel_size(const std::string& path) {
    const ComPtr<IWICImagingFactory> wic = imaging_factory();
    const auto first = wic ? first_frame(*wic.Get(), path) : std::nullopt;
    if (!first) return std::nullopt;
    return first->size;
}

rt::Picture picture_from_icon(HICON icon, bool owned) {
    if (icon == nullptr) return nullptr;
    IconHandle own(owned ? icon : nullptr);
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_ICON;
    desc.icon.hicon = icon;
    ComPtr<IPicture> picture;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPicture, owned ? TRUE : FALSE,
                                        reinterpret_cast<void**>(picture.ReleaseAndGetAddressOf()))) ||
        !picture) {
        return nullptr;  // an owned icon goes with `own`
    }
    own.release();  // the picture destroys it now
    return make_picture(std::move(picture), "<icon>");
}

}  // namespace vellora::win32

#include "platform/win32/pictures.h"

#include <cstdint>
#include <memory>

#include <olectl.h>
#include <wincodec.h>

#include "platform/win32/services.h"

namespace vellora::win32 {

namespace {

// Larger files are refused rather than read into memory.
constexpr std::uint64_t kMaxPictureFile = std::uint64_t{256} << 20U;

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

rt::Picture PictureDecoder::decode(const std::string& path) {
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
    if (!rt::picture_size_allowed(decoded_size(*picture.Get()))) throw rt::PictureError("picture too large: " + path);
    return make_picture(std::move(picture), path);
}

std::optional<rt::PixelSize> PictureDecoder::pixel_size(const std::string& path) {
    ComPtr<IWICImagingFactory> wic;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic))) ||
        FAILED(wic->CreateDecoderFromFilename(wide_from_ansi(path).c_str(), nullptr, GENERIC_READ,
                                              WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height))) {
        return std::nullopt;
    }
    return rt::PixelSize{width, height};
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

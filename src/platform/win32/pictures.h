// Pictures on Win32: the decoder of picture files and the decoded pictures.
// Bitmaps of every format the Windows Imaging Component reads (BMP, GIF,
// JPEG, PNG, TIFF, ICO, JPEG XR and the codecs installed: HEIF, WebP,
// AVIF ...) are decoded by WIC into 32-bit pixels, turned upright as their
// Exif data says; metafiles (WMF, EMF), and what WIC cannot read, by OLE.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/handles.h"
#include "runtime/picture.h"

#include <ocidl.h>

namespace vellora::win32 {

// A decoded picture as a form paints it.
class WinPicture : public rt::NativeImage {
public:
    // Draws the whole picture into the pixel box (x, y, cx, cy) of `dc`.
    virtual void render(HDC dc, int x, int y, int cx, int cy) const = 0;
    // True for a picture without a see-through pixel: it hides everything
    // beneath the pixels it covers.
    [[nodiscard]] virtual bool opaque() const = 0;
    // Copies the `cx` x `cy` pixels at (src_x, src_y) of the picture to
    // (x, y) of `dc`, pixel for pixel (see-through ones blended over what
    // is there). Only a bitmap drawn at its own pixel size (`width` x
    // `height`) can be copied; false means it must be rendered instead.
    virtual bool copy(HDC dc, int x, int y, int cx, int cy, int src_x, int src_y, int width, int height) const = 0;
};

// The pixels WIC decoded: a top-down 32-bit bitmap, premultiplied alpha.
class PixelPicture final : public WinPicture {
public:
    // Takes the bitmap; `opaque` when every pixel's alpha is full.
    PixelPicture(GdiObject<HBITMAP> bitmap, int width, int height, bool opaque);
    void render(HDC dc, int x, int y, int cx, int cy) const override;
    [[nodiscard]] bool opaque() const override { return opaque_; }
    bool copy(HDC dc, int x, int y, int cx, int cy, int src_x, int src_y, int width, int height) const override;

private:
    // Gone in reverse order: the bitmap out of the DC, the DC, the bitmap.
    GdiObject<HBITMAP> bitmap_;
    MemoryDc dc_;
    Selection selected_;
    int width_, height_;
    bool opaque_;
};

// An OLE picture object: a metafile, an icon, or a bitmap WIC could not read.
class OlePicture final : public WinPicture {
public:
    explicit OlePicture(ComPtr<IPicture> picture);
    void render(HDC dc, int x, int y, int cx, int cy) const override;
    // A bitmap with no transparent colour; icons and metafiles never are.
    [[nodiscard]] bool opaque() const override { return opaque_; }
    bool copy(HDC dc, int x, int y, int cx, int cy, int src_x, int src_y, int width, int height) const override;

private:
    ComPtr<IPicture> picture_;
    bool opaque_ = false;
    HBITMAP bitmap_ = nullptr;  // a bitmap picture's own pixels (the picture owns them)
    SIZE bitmap_size_{0, 0};
    // A memory DC the bitmap is selected into while it is copied (a bitmap
    // can be selected into one DC at a time, and the picture's own Render
    // selects it too).
    mutable MemoryDc source_;
};

class PictureDecoder final : public rt::PictureDecoder {
public:
    [[nodiscard]] std::optional<rt::FileIdentity> identify(const std::string& path) override;
    // The size in the header, through the Windows Imaging Component (which
    // reads no pixels for it); nothing for what WIC cannot read (metafiles,
    // formats a system lacks), which decode() holds to the caps itself.
    [[nodiscard]] std::optional<rt::PixelSize> pixel_size(const std::string& path) override;
    [[nodiscard]] rt::Picture decode(const std::string& path, int reduction) override;
    // The extensions of every WIC decoder installed, and OLE's metafiles.
    [[nodiscard]] std::vector<std::string> extensions() override;
};

// A picture made from an icon handle (the program's own icon). With
// `owned` the picture destroys the icon when it goes (at once when no
// picture can be made of it).
rt::Picture picture_from_icon(HICON icon, bool owned);

}  // namespace vellora::win32

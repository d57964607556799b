// Pictures through OLE: the decoder of picture files and the decoded picture.
#pragma once

#include <optional>
#include <string>

#include "platform/win32/handles.h"
#include "runtime/picture.h"

#include <ocidl.h>

namespace vellora::win32 {

// A decoded picture: an OLE picture object.
class OlePicture final : public rt::NativeImage {
public:
    explicit OlePicture(ComPtr<IPicture> picture);
    // Draws the whole picture into the pixel box (x, y, cx, cy) of `dc`.
    void render(HDC dc, int x, int y, int cx, int cy) const;
    // A bitmap with no transparent pixels (BMP, JPEG, GIF without a
    // transparent colour): it hides everything beneath the pixels it covers.
    // Icons and metafiles are never opaque.
    [[nodiscard]] bool opaque() const { return opaque_; }
    // Copies the `cx` x `cy` pixels at (src_x, src_y) of the picture to
    // (x, y) of `dc`, pixel for pixel. Only a bitmap drawn at its own pixel
    // size (`width` x `height`) can be copied; false means it must be
    // rendered instead.
    bool copy(HDC dc, int x, int y, int cx, int cy, int src_x, int src_y, int width, int height) const;

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
    [[nodiscard]] rt::Picture decode(const std::string& path) override;
};

// A picture made from an icon handle (the program's own icon). With
// `owned` the picture destroys the icon when it goes (at once when no
// picture can be made of it).
rt::Picture picture_from_icon(HICON icon, bool owned);

}  // namespace vellora::win32

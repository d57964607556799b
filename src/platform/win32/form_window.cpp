#include "platform/win32/form_window.h"

#include <windowsx.h>

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/controls.h"
#include "platform/win32/keys.h"
#include "platform/win32/pictures.h"
#include "runtime/compose.h"
#include "runtime/failure.h"

namespace vellora::win32 {

namespace {

constexpr int kFirstMenuId = 1000;

// Style and extended style of a form's window from its border.
std::pair<DWORD, DWORD> form_styles(const rt::FormDesign& design) {
    switch (design.border) {
        case rt::BorderStyle::None:
            return {WS_POPUP | WS_CLIPCHILDREN, 0};
        case rt::BorderStyle::FixedDialog:
            return {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT};
        case rt::BorderStyle::FixedSingle:
        default:
            return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    }
}

void fill(HDC dc, const RECT& box, COLORREF color) {
    const GdiObject<HBRUSH> brush(CreateSolidBrush(color));
    FillRect(dc, &box, brush.get());
}

}  // namespace

// ------------------------------------------------------------------ DrawingLayer

void DrawingLayer::resize(int width, int height, COLORREF background) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (dc_ && width == width_ && height == height_) return;
    MemoryDc dc;
    GdiObject<HBITMAP> bitmap;
    {
        const WindowDc screen(nullptr);
        dc.reset(CreateCompatibleDC(screen.get()));
        bitmap.reset(CreateCompatibleBitmap(screen.get(), width, height));
    }
    Selection selected(dc.get(), bitmap.get());
    fill(dc.get(), RECT{0, 0, width, height}, background);
    if (dc_) BitBlt(dc.get(), 0, 0, std::min(width, width_), std::min(height, height_), dc_.get(), 0, 0, SRCCOPY);
    // The old bitmap out of the old DC, the old DC, then the old bitmap.
    selected_ = std::move(selected);
    dc_ = std::move(dc);
    bitmap_ = std::move(bitmap);
    width_ = width;
    height_ = height;
}

void DrawingLayer::clear(COLORREF background) {
    if (dc_) fill(dc_.get(), RECT{0, 0, width_, height_}, background);
}

RECT DrawingLayer::circle(int cx, int cy, int rx, int ry, COLORREF outline, COLORREF fill_color) {
    if (!dc_) return RECT{0, 0, 0, 0};
    if (rx <= 0 || ry <= 0) {
        // A circle of radius 0 is the one pixel at its centre.
        SetPixel(dc_.get(), cx, cy, outline);
        return RECT{cx, cy, cx + 1, cy + 1};
    }
    const GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, outline));
    const GdiObject<HBRUSH> brush(CreateSolidBrush(fill_color));
    const RECT box{cx - rx, cy - ry, cx + rx + 1, cy + ry + 1};
    {
        const Selection with_pen(dc_.get(), pen.get());
        const Selection with_brush(dc_.get(), brush.get());
        Ellipse(dc_.get(), box.left, box.top, box.right, box.bottom);
    }
    return RECT{box.left - 1, box.top - 1, box.right + 1, box.bottom + 1};
}

COLORREF DrawingLayer::pixel(int x, int y) const {
    if (!dc_ || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    return GetPixel(dc_.get(), x, y);
}

// ------------------------------------------------------------------ PendingRepaint

void PendingRepaint::add(HWND hwnd, const RECT& touched) {
    if (touched.right <= touched.left || touched.bottom <= touched.top) return;
    if (rect_.right <= rect_.left || rect_.bottom <= rect_.top) {
        if (PostMessageA(hwnd, kMessage, 0, 0) == FALSE) {
            InvalidateRect(hwnd, &touched, FALSE);
            return;
        }
        rect_ = touched;
    } else {
        UnionRect(&rect_, &rect_, &touched);
    }
}

void PendingRepaint::flush(HWND hwnd) {
    if (rect_.right > rect_.left && rect_.bottom > rect_.top) InvalidateRect(hwnd, &rect_, FALSE);
    rect_ = RECT{};
}

// ------------------------------------------------------------------ FormWindow

FormWindow::FormWindow(WindowSystem& system, rt::Form& form)
    : system_(system), form_(form), label_brush_(CreateSolidBrush(kLabelBack)) {
    const auto& design = form.design();
    std::tie(style_, ex_style_) = form_styles(design);
    MenuHandle menu;
    if (design.has_menu && !form.menu().empty()) {
        menu.reset(CreateMenu());
        int id = kFirstMenuId;
        for (auto* command : form.menu()) {
            AppendMenuA(menu.get(), MF_STRING, static_cast<UINT_PTR>(id++), command->Caption().c_str());
        }
    }
    hwnd_ = CreateWindowExA(ex_style_, kFormClass, design.caption.c_str(), style_, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu.get(), system.instance(), this);
    if (hwnd_ != nullptr) {
        has_menu_ = static_cast<bool>(menu);
        menu.release();  // the window's now; it goes with the window
        system_.register_form_window(hwnd_, this);
        HICON big = LoadIconA(system.instance(), MAKEINTRESOURCEA(1));
        if (big != nullptr) SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    }
}

FormWindow::~FormWindow() {
    if (hwnd_ != nullptr) {
        system_.unregister_form_window(hwnd_);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

std::unique_ptr<rt::NativeControl> FormWindow::create_control(rt::Control& control) {
    return make_control_peer(*this, control);
}

RECT FormWindow::box_of(const rt::Control& c) const {
    return to_rect(rt::pixel_box(c, system_.twips_per_pixel_x(), system_.twips_per_pixel_y()));
}

rt::FrameInsets FormWindow::frame() const {
    // Kept until the system's metrics change (asked for on every ScaleWidth).
    if (!frame_) {
        RECT r{0, 0, 0, 0};
        AdjustWindowRectEx(&r, style_, has_menu_ ? TRUE : FALSE, ex_style_);
        frame_ = rt::FrameInsets{-r.left, -r.top, r.right, r.bottom};
    }
    return *frame_;
}

void FormWindow::update(rt::Change what) {
    if (hwnd_ == nullptr) return;
    if (rt::has(what, rt::Change::Geometry)) {
        const float tx = system_.twips_per_pixel_x();
        const float ty = system_.twips_per_pixel_y();
        SetWindowPos(hwnd_, nullptr, rt::twips_to_pixels(form_.Left(), tx), rt::twips_to_pixels(form_.Top(), ty),
                     rt::twips_to_pixels(form_.Width(), tx), rt::twips_to_pixels(form_.Height(), ty),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        sync_layer_size();
    }
    if (rt::has(what, rt::Change::Text)) SetWindowTextA(hwnd_, form_.Caption().c_str());
    if (rt::has(what, rt::Change::Colors)) {
        // A new background colour starts a clean drawing layer.
        sync_layer_size();
        layer_.clear(colorref(form_.BackColor()));
        invalidate();
    }
}

void FormWindow::sync_layer_size() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    layer_.resize(client.right, client.bottom, colorref(form_.BackColor()));
    invalidate();
}

void FormWindow::show(bool /*modal*/) {
    if (hwnd_ == nullptr) return;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetActiveWindow(hwnd_);
    UpdateWindow(hwnd_);
}

void FormWindow::hide() {
    if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
}

void FormWindow::set_topmost() {
    if (hwnd_ != nullptr) SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void FormWindow::set_input_enabled(bool enabled) {
    if (hwnd_ == nullptr) return;
    EnableWindow(hwnd_, enabled ? TRUE : FALSE);
    if (enabled && IsWindowVisible(hwnd_) != FALSE) {
        // The modal window that kept this one from input is gone: when no
        // window of ours is active now, this one takes the keyboard again.
        HWND active = GetActiveWindow();
        if (active == nullptr || system_.form_window_of(active) == nullptr || IsWindowEnabled(active) == FALSE) {
            SetForegroundWindow(hwnd_);
            SetActiveWindow(hwnd_);
        }
    }
}

void FormWindow::minimize() {
    if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_MINIMIZE);
}

void FormWindow::draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill_color) {
    if (hwnd_ == nullptr) return;
    if (layer_.empty()) sync_layer_size();
    const float tx = system_.twips_per_pixel_x();
    const float ty = system_.twips_per_pixel_y();
    circles_.add(hwnd_, layer_.circle(rt::twips_to_pixels(x, tx), rt::twips_to_pixels(y, ty),
                                      rt::twips_to_pixels(radius, tx), rt::twips_to_pixels(radius, ty),
                                      colorref(outline), colorref(fill_color)));
}

rt::Control* FormWindow::control_of(HWND child) const {
    auto it = children_.find(child);
    return it == children_.end() ? nullptr : &it->second->control();
}

void FormWindow::invalidate() const {
    if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

void FormWindow::invalidate(const RECT& box) const {
    if (hwnd_ != nullptr && box.right > box.left && box.bottom > box.top) InvalidateRect(hwnd_, &box, FALSE);
}

void FormWindow::invalidate(const RECT& a, const RECT& b) const {
    if (hwnd_ == nullptr) return;
    if (IsRectEmpty(&a) != FALSE || IsRectEmpty(&b) != FALSE) {
        invalidate(a);
        invalidate(b);
        return;
    }
    // One request for both boxes.
    const GdiObject<HRGN> both(CreateRectRgnIndirect(&a));
    const GdiObject<HRGN> second(CreateRectRgnIndirect(&b));
    if (both && second && CombineRgn(both.get(), both.get(), second.get(), RGN_OR) != ERROR) {
        InvalidateRgn(hwnd_, both.get(), FALSE);
    } else {
        invalidate(a);
        invalidate(b);
    }
}

float FormWindow::to_twips_x(int px) const { return rt::pixels_to_twips(px, system_.twips_per_pixel_x()); }
float FormWindow::to_twips_y(int px) const { return rt::pixels_to_twips(px, system_.twips_per_pixel_y()); }

// ------------------------------------------------------------------ painting

namespace {

// Limits drawing on `dc` to `parts` as well (logical coordinates).
void clip_to(HDC dc, const rt::PixelRects& parts) {
    POINT origin{};
    GetWindowOrgEx(dc, &origin);
    const GdiObject<HRGN> region(CreateRectRgn(0, 0, 0, 0));
    if (!region) return;
    for (const auto& r : parts) {
        const GdiObject<HRGN> one(
            CreateRectRgn(r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y));
        if (one) CombineRgn(region.get(), region.get(), one.get(), RGN_OR);
    }
    ExtSelectClipRgn(dc, region.get(), RGN_AND);
}

// An image's picture in `parts`: a bitmap at its own size is copied, only
// the parts in view (its see-through pixels blended over what is there);
// others (icons, metafiles, stretched pictures) are rendered once, clipped
// to them.
void paint_image(HDC dc, const rt::ShownImage& shown, const rt::PixelRects& parts) {
    const auto* picture = parts.empty() ? nullptr : dynamic_cast<const WinPicture*>(shown.image->GetPicture()->image.get());
    if (picture == nullptr) return;
    const rt::PixelRect& box = shown.element.box;
    const int cx = shown.element.width;
    const int cy = shown.element.height;
    const bool copied = std::all_of(parts.begin(), parts.end(), [&](const rt::PixelRect& r) {
        return picture->copy(dc, r.left, r.top, r.width(), r.height(), r.left - box.left, r.top - box.top, cx, cy);
    });
    if (copied) return;
    const SavedDc saved(dc);
    clip_to(dc, parts);
    picture->render(dc, box.left, box.top, cx, cy);
}

}  // namespace

void FormWindow::paint() {
    {
        const Painting painting(hwnd_);
        const RECT& part = painting.part();
        if (part.right > part.left && part.bottom > part.top) compose(painting.dc(), part);
    }
    form_.deliver_paint();
}

void FormWindow::compose(HDC dc, const RECT& part) {
    // What shows where is the runtime's rule (rt::compose): here the pixels
    // are only copied, each once, straight to the window. Where a
    // see-through picture (an icon, a metafile, a GIF with a transparent
    // colour, a PNG with alpha) lies over something, the part is composed
    // off screen first (no flicker), in a buffer kept for the next paint.
    const int dpi_x = system_.dpi_x();
    const int dpi_y = system_.dpi_y();
    const auto shown = rt::shown_images(form_, system_.twips_per_pixel_x(), system_.twips_per_pixel_y(),
                                        [dpi_x, dpi_y](const rt::PictureData& p) -> std::optional<rt::PictureLook> {
                                            const auto* native = dynamic_cast<const WinPicture*>(p.image.get());
                                            if (native == nullptr) return std::nullopt;
                                            return rt::PictureLook{MulDiv(p.himetric_width, dpi_x, 2540),
                                                                   MulDiv(p.himetric_height, dpi_y, 2540),
                                                                   native->opaque()};
                                        });
    const rt::PixelRect layer = layer_.empty() ? rt::PixelRect{} : rt::PixelRect{0, 0, layer_.width(), layer_.height()};
    const rt::Composition parts = rt::compose({to_pixel_rect(part)}, layer, shown);
    const int w = part.right - part.left;
    const int h = part.bottom - part.top;
    HDC target = dc;
    if (!parts.composed.empty()) {
        if (buffer_.empty() || w > buffer_.width() || h > buffer_.height()) {
            buffer_.resize(std::max(w, buffer_.width()), std::max(h, buffer_.height()), colorref(form_.BackColor()));
        }
        target = buffer_.dc();
        // The buffer's origin is the part's top-left corner.
        SetWindowOrgEx(target, part.left, part.top, nullptr);
    }
    for (const auto& r : parts.layer) {
        BitBlt(target, r.left, r.top, r.width(), r.height(), layer_.dc(), r.left, r.top, SRCCOPY);
    }
    // Beyond the layer (before it has caught up with a new size): the background.
    for (const auto& r : parts.background) fill(target, to_rect(r), colorref(form_.BackColor()));
    for (std::size_t i = 0; i < shown.size(); ++i) paint_image(target, shown[i], parts.elements[i]);
    if (target != dc) {
        BitBlt(dc, part.left, part.top, w, h, target, part.left, part.top, SRCCOPY);
        SetWindowOrgEx(target, 0, 0, nullptr);
    }
}

// ------------------------------------------------------------------ input

void FormWindow::on_command(WPARAM wp, LPARAM lp) {
    const int id = LOWORD(wp);
    const int code = HIWORD(wp);
    if (lp == 0) {
        // A command of the menu bar.
        const auto index = static_cast<std::size_t>(id - kFirstMenuId);
        if (code == 0 && id >= kFirstMenuId && index < form_.menu().size() && form_.input_enabled()) {
            form_.menu()[index]->Click();
        }
        return;
    }
    auto it = children_.find(reinterpret_cast<HWND>(lp));
    if (it != children_.end()) it->second->notify(code);
}

void FormWindow::mouse_move(WPARAM wp, LPARAM lp) {
    // Every move goes to the form: the runtime drops the ones at the place
    // where the pointer already was (Windows sends one when a window
    // appears or changes under a still pointer).
    form_.deliver_mouse_move(mouse_buttons(wp), shift_state(), to_twips_x(GET_X_LPARAM(lp)),
                             to_twips_y(GET_Y_LPARAM(lp)));
}

LRESULT CALLBACK FormWindow::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    // A failure in a handler must not unwind through the system's window
    // code: the message is dropped (answered with 0) and the program goes on.
    // The form's code that a message runs may unload the form, and this
    // object goes with its window: the default handling that may follow
    // uses the handle it came with, nothing of the object.
    std::optional<LRESULT> answer = 0;
    rt::guarded(self->system_.services(), [&] { answer = self->handle(msg, wp, lp); });
    return answer ? *answer : DefWindowProcA(hwnd, msg, wp, lp);
}

std::optional<LRESULT> FormWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    // Once the form's code has run, nothing of this object is touched: it
    // may be gone (see window_proc).
    switch (msg) {
        case WM_PAINT:
            paint();
            return 0;
        case PendingRepaint::kMessage:
            circles_.flush(hwnd_);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_CLOSE:
            // Closing asks the form; it unloads (and destroys this window) or refuses.
            form_.deliver_close();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) != WA_INACTIVE) {
                rt::Form& form = form_;
                form.activated();
                // The keyboard goes back to the form's active control.
                auto* control = form.ActiveControl();
                if (control != nullptr && control->peer() != nullptr && control->focusable()) {
                    control->peer()->focus();
                    return 0;
                }
            }
            return std::nullopt;
        case WM_SETFOCUS: {
            auto* control = form_.ActiveControl();
            if (control != nullptr && control->peer() != nullptr && control->focusable()) control->peer()->focus();
            return 0;
        }
        case WM_COMMAND:
            on_command(wp, lp);
            return 0;
        case WM_CTLCOLORSTATIC: {
            auto it = children_.find(reinterpret_cast<HWND>(lp));
            if (it == children_.end()) return std::nullopt;
            if (HBRUSH brush = it->second->colors(reinterpret_cast<HDC>(wp)); brush != nullptr) {
                return reinterpret_cast<LRESULT>(brush);
            }
            return std::nullopt;
        }
        case WM_MOUSEMOVE:
            mouse_move(wp, lp);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            form_.deliver_mouse_down(button_of(msg), shift_state(), to_twips_x(GET_X_LPARAM(lp)),
                                     to_twips_y(GET_Y_LPARAM(lp)));
            return 0;
        case WM_LBUTTONDBLCLK:
            form_.deliver_dbl_click();
            return 0;
        case WM_SIZE:
            sync_layer_size();
            return std::nullopt;
        case WM_DISPLAYCHANGE:
            // A monitor came, went or changed its size: every form hears
            // of it (each top-level window gets this message), after the
            // sizes kept from before are forgotten.
            frame_.reset();
            system_.forget_screen();
            form_.deliver_display_changed();
            return std::nullopt;
        case WM_SETTINGCHANGE:
        case WM_DPICHANGED:
            frame_.reset();
            system_.forget_screen();
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace vellora::win32

#include "platform/win32/win32_forms.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vellora::win32 {

namespace {

constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 1000;
// Labels are drawn on the classic button face, the forms' own grey.
constexpr COLORREF kLabelBack = RGB(192, 192, 192);

COLORREF colorref(rt::Color c) { return static_cast<COLORREF>(c & 0xFFFFFFU); }

int to_px(float twips, float twips_per_pixel) {
    return static_cast<int>(std::nearbyint(static_cast<double>(twips) / static_cast<double>(twips_per_pixel)));
}

std::string window_text(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

std::int16_t shift_state() {
    std::int16_t s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= rt::shift::Shift;
    if (GetKeyState(VK_CONTROL) < 0) s |= rt::shift::Ctrl;
    if (GetKeyState(VK_MENU) < 0) s |= rt::shift::Alt;
    return s;
}

std::int16_t mouse_buttons(WPARAM wp) {
    std::int16_t b = 0;
    if ((wp & MK_LBUTTON) != 0) b |= 1;
    if ((wp & MK_RBUTTON) != 0) b |= 2;
    if ((wp & MK_MBUTTON) != 0) b |= 4;
    return b;
}

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

// Pixel box of a control in its parent's client area.
RECT control_box(const rt::Control& c, float tppx, float tppy) {
    const int left = to_px(c.Left(), tppx);
    const int top = to_px(c.Top(), tppy);
    return RECT{left, top, left + std::max(0, to_px(c.Width(), tppx)), top + std::max(0, to_px(c.Height(), tppy))};
}

// Draws a picture into the element box: at its natural size (clipped to
// the box) or, stretched, filling the box.
void draw_picture(HDC dc, const rt::Picture& picture, const RECT& box, const RECT& clip, bool stretch, int dpi_x,
                  int dpi_y) {
    if (!picture || !picture->image) return;
    const auto* ole = dynamic_cast<const OlePicture*>(picture->image.get());
    if (ole == nullptr) return;
    int cx = box.right - box.left;
    int cy = box.bottom - box.top;
    if (!stretch) {
        cx = MulDiv(picture->himetric_width, dpi_x, 2540);
        cy = MulDiv(picture->himetric_height, dpi_y, 2540);
    }
    if (cx <= 0 || cy <= 0 || box.right <= box.left || box.bottom <= box.top) return;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    ole->render(dc, box.left, box.top, cx, cy);
    RestoreDC(dc, saved);
}

// ------------------------------------------------------------------ control peers

class ChildPeer : public rt::NativeControl {
public:
    ChildPeer(FormWindow& window, rt::Control& control) : window_(window), control_(control) {}
    ~ChildPeer() override { destroy(); }
    ChildPeer(const ChildPeer&) = delete;
    ChildPeer& operator=(const ChildPeer&) = delete;

    void update(rt::Change what) override {
        if (hwnd_ == nullptr) return;
        const auto bits = static_cast<unsigned>(what);
        if ((bits & static_cast<unsigned>(rt::Change::Geometry)) != 0) place();
        if ((bits & static_cast<unsigned>(rt::Change::Visible)) != 0) {
            ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
        }
        if ((bits & static_cast<unsigned>(rt::Change::Enabled)) != 0) EnableWindow(hwnd_, control_.Enabled() ? TRUE : FALSE);
        refresh(bits);
    }
    void focus() override {
        if (hwnd_ != nullptr && IsWindowEnabled(hwnd_) != FALSE) SetFocus(hwnd_);
    }
    void draw_circle(float, float, float, rt::Color, rt::Color) override {}
    bool set_parent(rt::ForeignWindow) override { return false; }

    [[nodiscard]] HWND hwnd() const { return hwnd_; }
    // The child window is gone (destroyed with a foreign parent).
    void forget() { hwnd_ = nullptr; }

protected:
    void create(const char* window_class, DWORD style, DWORD ex_style, const std::string& text) {
        const RECT box = control_box(control_, window_.platform().twips_per_pixel_x(), window_.platform().twips_per_pixel_y());
        if (control_.Visible()) style |= WS_VISIBLE;
        if (!control_.Enabled()) style |= WS_DISABLED;
        const auto& controls = window_.form().controls();
        const auto index = std::find(controls.begin(), controls.end(), &control_) - controls.begin();
        hwnd_ = CreateWindowExA(ex_style, window_class, text.c_str(), style | WS_CHILD | WS_CLIPSIBLINGS, box.left,
                                box.top, box.right - box.left, box.bottom - box.top, window_.hwnd(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                                window_.platform().instance(), static_cast<ChildPeer*>(this));
        if (hwnd_ != nullptr) window_.add_child(hwnd_, &control_);
    }
    void destroy() {
        if (hwnd_ == nullptr) return;
        window_.remove_child(hwnd_);
        if (IsWindow(hwnd_) != FALSE) DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    void set_font(bool bold) {
        if (hwnd_ != nullptr) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(window_.platform().font(bold)), TRUE);
    }
    virtual void place() {
        const RECT box = control_box(control_, window_.platform().twips_per_pixel_x(), window_.platform().twips_per_pixel_y());
        SetWindowPos(hwnd_, nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    virtual void refresh(unsigned bits) = 0;

    FormWindow& window_;
    rt::Control& control_;
    HWND hwnd_ = nullptr;
};

class LabelPeer final : public ChildPeer {
public:
    LabelPeer(FormWindow& window, rt::Label& label) : ChildPeer(window, label), label_(label) {
        create("STATIC", SS_LEFT, 0, label.Caption());
        set_font(label.Bold());
    }
    void refresh(unsigned bits) override {
        if ((bits & static_cast<unsigned>(rt::Change::Text)) != 0) SetWindowTextA(hwnd_, label_.Caption().c_str());
        if ((bits & static_cast<unsigned>(rt::Change::Style)) != 0) set_font(label_.Bold());
        if ((bits & static_cast<unsigned>(rt::Change::Colors)) != 0) InvalidateRect(hwnd_, nullptr, TRUE);
    }

private:
    rt::Label& label_;
};

class ButtonPeer final : public ChildPeer {
public:
    ButtonPeer(FormWindow& window, rt::CommandButton& button) : ChildPeer(window, button), button_(button) {
        create("BUTTON", style(), 0, button.Caption());
        set_font(window.form().design().font_bold);
    }
    void refresh(unsigned bits) override {
        if ((bits & static_cast<unsigned>(rt::Change::Text)) != 0) SetWindowTextA(hwnd_, button_.Caption().c_str());
        if ((bits & static_cast<unsigned>(rt::Change::Style)) != 0) SendMessageA(hwnd_, BM_SETSTYLE, style(), TRUE);
    }

private:
    [[nodiscard]] DWORD style() const {
        return static_cast<DWORD>(button_.Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY | WS_TABSTOP;
    }
    rt::CommandButton& button_;
};

class EditPeer final : public ChildPeer {
public:
    EditPeer(FormWindow& window, rt::TextBox& box) : ChildPeer(window, box), box_(box) {
        create("EDIT", ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP, WS_EX_CLIENTEDGE, box.Text());
        set_font(window.form().design().font_bold);
        SendMessageA(hwnd_, EM_SETLIMITTEXT, 0, 0);  // no length limit
        apply_password_char();
    }
    void refresh(unsigned bits) override {
        if ((bits & static_cast<unsigned>(rt::Change::Text)) != 0 && window_text(hwnd_) != box_.Text()) {
            SetWindowTextA(hwnd_, box_.Text().c_str());
        }
        if ((bits & static_cast<unsigned>(rt::Change::Style)) != 0) apply_password_char();
    }

private:
    // Setting ES_PASSWORD after creation does not mask an edit control;
    // the password character message does.
    void apply_password_char() {
        SendMessageA(hwnd_, EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(box_.PasswordChar())), 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
    rt::TextBox& box_;
};

// Images have no window of their own: the form paints them. A change
// repaints only where the image was and where it is now.
class ImagePeer final : public rt::NativeControl {
public:
    ImagePeer(FormWindow& window, rt::Control& control) : window_(window), control_(control), box_(box()) {
        window_.invalidate(box_);
    }
    ~ImagePeer() override { window_.invalidate(box_); }
    ImagePeer(const ImagePeer&) = delete;
    ImagePeer& operator=(const ImagePeer&) = delete;
    void update(rt::Change what) override {
        const RECT now = box();
        // The saver gives the element the same picture (and so the same
        // size) on every tick: a box that stayed put needs no repaint.
        const bool moved_only = static_cast<unsigned>(what) == static_cast<unsigned>(rt::Change::Geometry);
        if (moved_only && EqualRect(&now, &box_) != FALSE) return;
        window_.invalidate(box_, now);
        box_ = now;
    }
    void focus() override {}
    void draw_circle(float, float, float, rt::Color, rt::Color) override {}
    bool set_parent(rt::ForeignWindow) override { return false; }

private:
    [[nodiscard]] RECT box() const {
        return control_box(control_, window_.platform().twips_per_pixel_x(), window_.platform().twips_per_pixel_y());
    }
    FormWindow& window_;
    rt::Control& control_;
    RECT box_;  // where the image was last painted, in client pixels
};

// A picture box: a child window with its own drawing layer; the picture
// is its background.
class BoxPeer final : public ChildPeer {
public:
    BoxPeer(FormWindow& window, rt::PictureBox& box) : ChildPeer(window, box), box_(box) {
        create(kBoxClass, 0, 0, box.name());
        rebuild();
    }
    ~BoxPeer() override {
        if (hwnd_ != nullptr) SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        destroy();
    }
    BoxPeer(const BoxPeer&) = delete;
    BoxPeer& operator=(const BoxPeer&) = delete;
    void refresh(unsigned bits) override {
        if ((bits & static_cast<unsigned>(rt::Change::Geometry)) != 0) {
            const auto [w, h] = pixel_size();
            layer_.resize(w, h, colorref(box_.BackColor()));
        }
        if ((bits & (static_cast<unsigned>(rt::Change::Colors) | static_cast<unsigned>(rt::Change::Image))) != 0) {
            rebuild();
        }
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override {
        if (hwnd_ == nullptr || layer_.empty()) return;
        const auto& p = window_.platform();
        circles_.add(hwnd_, layer_.circle(to_px(x, p.twips_per_pixel_x()), to_px(y, p.twips_per_pixel_y()),
                                          to_px(radius, p.twips_per_pixel_x()), to_px(radius, p.twips_per_pixel_y()),
                                          colorref(outline), colorref(fill)));
    }
    bool set_parent(rt::ForeignWindow parent) override {
        HWND pane = window_from_number(parent);
        if (hwnd_ == nullptr || pane == nullptr || IsWindow(pane) == FALSE) return false;
        if (::SetParent(hwnd_, pane) == nullptr) return false;
        auto style = static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE));
        style = (style & ~static_cast<DWORD>(WS_POPUP)) | WS_CHILD;
        SetWindowLongPtrA(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(style));
        foreign_parent_ = true;
        place();
        ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
        return true;
    }
    void paint() {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd_, &ps);
        if (!layer_.empty()) {
            BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                   ps.rcPaint.bottom - ps.rcPaint.top, layer_.dc(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        }
        EndPaint(hwnd_, &ps);
    }
    [[nodiscard]] const DrawingLayer& layer() const { return layer_; }

    static LRESULT CALLBACK box_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lp);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = static_cast<BoxPeer*>(reinterpret_cast<ChildPeer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)));
        if (self != nullptr) {
            switch (msg) {
                case WM_PAINT:
                    self->paint();
                    return 0;
                case WM_ERASEBKGND:
                    return 1;
                case PendingRepaint::kMessage:
                    self->circles_.flush(hwnd);
                    return 0;
                case WM_NCDESTROY:
                    // Destroyed with the window it was moved into.
                    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
                    self->window_.remove_child(hwnd);
                    self->forget();
                    break;
                default:
                    break;
            }
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }

private:
    void place() override {
        ChildPeer::place();
        const auto [w, h] = pixel_size();
        layer_.resize(w, h, colorref(box_.BackColor()));
    }
    [[nodiscard]] std::pair<int, int> pixel_size() const {
        const auto& p = window_.platform();
        return {std::max(0, to_px(box_.Width(), p.twips_per_pixel_x())), std::max(0, to_px(box_.Height(), p.twips_per_pixel_y()))};
    }
    // The background colour with the picture over it; earlier drawing is gone.
    void rebuild() {
        const auto [w, h] = pixel_size();
        layer_.resize(w, h, colorref(box_.BackColor()));
        layer_.clear(colorref(box_.BackColor()));
        if (!layer_.empty() && box_.GetPicture()) {
            const RECT all{0, 0, w, h};
            draw_picture(layer_.dc(), box_.GetPicture(), all, all, false, window_.platform().dpi_x(), window_.platform().dpi_y());
        }
    }
    rt::PictureBox& box_;
    DrawingLayer layer_;
    PendingRepaint circles_;
    bool foreign_parent_ = false;
};

}  // namespace

// ------------------------------------------------------------------ DrawingLayer

DrawingLayer::~DrawingLayer() {
    if (dc_ != nullptr) {
        SelectObject(dc_, old_bitmap_);
        DeleteDC(dc_);
    }
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

void DrawingLayer::resize(int width, int height, COLORREF background) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (dc_ != nullptr && width == width_ && height == height_) return;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    if (dc_ != nullptr) {
        BitBlt(dc, 0, 0, std::min(width, width_), std::min(height, height_), dc_, 0, 0, SRCCOPY);
        SelectObject(dc_, old_bitmap_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    dc_ = dc;
    bitmap_ = bitmap;
    old_bitmap_ = old;
    width_ = width;
    height_ = height;
}

void DrawingLayer::clear(COLORREF background) {
    if (dc_ == nullptr) return;
    HBRUSH brush = CreateSolidBrush(background);
    const RECT all{0, 0, width_, height_};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
}

RECT DrawingLayer::circle(int cx, int cy, int rx, int ry, COLORREF outline, COLORREF fill) {
    if (dc_ == nullptr) return RECT{0, 0, 0, 0};
    if (rx <= 0 || ry <= 0) {
        // A circle of radius 0 is the one pixel at its centre.
        SetPixel(dc_, cx, cy, outline);
        return RECT{cx, cy, cx + 1, cy + 1};
    }
    HPEN pen = CreatePen(PS_SOLID, 1, outline);
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ old_pen = SelectObject(dc_, pen);
    HGDIOBJ old_brush = SelectObject(dc_, brush);
    const RECT box{cx - rx, cy - ry, cx + rx + 1, cy + ry + 1};
    Ellipse(dc_, box.left, box.top, box.right, box.bottom);
    SelectObject(dc_, old_pen);
    SelectObject(dc_, old_brush);
    DeleteObject(pen);
    DeleteObject(brush);
    return RECT{box.left - 1, box.top - 1, box.right + 1, box.bottom + 1};
}

COLORREF DrawingLayer::pixel(int x, int y) const {
    if (dc_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    return GetPixel(dc_, x, y);
}

// ------------------------------------------------------------------ FormWindow

FormWindow::FormWindow(Win32Platform& platform, rt::Form& form) : platform_(platform), form_(form) {
    const auto& design = form.design();
    std::tie(style_, ex_style_) = form_styles(design);
    if (design.has_menu && !form.menu().empty()) {
        menu_ = CreateMenu();
        int id = kFirstMenuId;
        for (auto* command : form.menu()) {
            AppendMenuA(menu_, MF_STRING, static_cast<UINT_PTR>(id++), command->Caption().c_str());
        }
    }
    hwnd_ = CreateWindowExA(ex_style_, kFormClass, design.caption.c_str(), style_, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu_, platform.instance(), this);
    if (hwnd_ != nullptr) {
        platform_.register_form_window(hwnd_, this);
        HICON big = LoadIconA(platform.instance(), MAKEINTRESOURCEA(1));
        if (big != nullptr) SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    }
    label_brush_ = CreateSolidBrush(kLabelBack);
}

FormWindow::~FormWindow() {
    if (hwnd_ != nullptr) {
        platform_.unregister_form_window(hwnd_);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);  // the menu goes with it
    }
    if (label_brush_ != nullptr) DeleteObject(label_brush_);
}

std::unique_ptr<rt::NativeControl> FormWindow::create_control(rt::Control& control) {
    switch (control.kind()) {
        case rt::ControlKind::Label:
            return std::make_unique<LabelPeer>(*this, static_cast<rt::Label&>(control));
        case rt::ControlKind::TextBox:
            return std::make_unique<EditPeer>(*this, static_cast<rt::TextBox&>(control));
        case rt::ControlKind::CommandButton:
            return std::make_unique<ButtonPeer>(*this, static_cast<rt::CommandButton&>(control));
        case rt::ControlKind::Image:
            return std::make_unique<ImagePeer>(*this, control);
        case rt::ControlKind::PictureBox:
            return std::make_unique<BoxPeer>(*this, static_cast<rt::PictureBox&>(control));
    }
    return nullptr;
}

rt::FrameInsets FormWindow::frame() const {
    // Kept until the system's metrics change (asked for on every ScaleWidth).
    if (!frame_) {
        RECT r{0, 0, 0, 0};
        AdjustWindowRectEx(&r, style_, menu_ != nullptr ? TRUE : FALSE, ex_style_);
        frame_ = rt::FrameInsets{-r.left, -r.top, r.right, r.bottom};
    }
    return *frame_;
}

void FormWindow::update(rt::Change what) {
    if (hwnd_ == nullptr) return;
    const auto bits = static_cast<unsigned>(what);
    if ((bits & static_cast<unsigned>(rt::Change::Geometry)) != 0) {
        const float tx = platform_.twips_per_pixel_x();
        const float ty = platform_.twips_per_pixel_y();
        SetWindowPos(hwnd_, nullptr, to_px(form_.Left(), tx), to_px(form_.Top(), ty), to_px(form_.Width(), tx),
                     to_px(form_.Height(), ty), SWP_NOZORDER | SWP_NOACTIVATE);
        sync_layer_size();
    }
    if ((bits & static_cast<unsigned>(rt::Change::Text)) != 0) SetWindowTextA(hwnd_, form_.Caption().c_str());
    if ((bits & static_cast<unsigned>(rt::Change::Colors)) != 0) {
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
        if (active == nullptr || platform_.form_window_of(active) == nullptr || IsWindowEnabled(active) == FALSE) {
            SetForegroundWindow(hwnd_);
            SetActiveWindow(hwnd_);
        }
    }
}

void FormWindow::minimize() {
    if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_MINIMIZE);
}

void FormWindow::draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
    if (hwnd_ == nullptr) return;
    if (layer_.empty()) sync_layer_size();
    const float tx = platform_.twips_per_pixel_x();
    const float ty = platform_.twips_per_pixel_y();
    circles_.add(hwnd_, layer_.circle(to_px(x, tx), to_px(y, ty), to_px(radius, tx), to_px(radius, ty),
                                      colorref(outline), colorref(fill)));
}

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

rt::Control* FormWindow::control_of(HWND child) const {
    auto it = children_.find(child);
    return it == children_.end() ? nullptr : it->second;
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
    HRGN both = CreateRectRgnIndirect(&a);
    HRGN second = CreateRectRgnIndirect(&b);
    if (both != nullptr && second != nullptr && CombineRgn(both, both, second, RGN_OR) != ERROR) {
        InvalidateRgn(hwnd_, both, FALSE);
    } else {
        invalidate(a);
        invalidate(b);
    }
    if (both != nullptr) DeleteObject(both);
    if (second != nullptr) DeleteObject(second);
}

float FormWindow::to_twips_x(int px) const { return static_cast<float>(px) * platform_.twips_per_pixel_x(); }
float FormWindow::to_twips_y(int px) const { return static_cast<float>(px) * platform_.twips_per_pixel_y(); }

namespace {

// An image as one paint sees it.
struct ShownImage {
    const OlePicture* picture = nullptr;
    RECT box{};        // the element's box
    RECT covered{};    // the pixels the picture covers: its box, or at natural size the box's part it fills
    int cx = 0, cy = 0;  // the size the picture is drawn at
    bool opaque = false;  // hides what lies beneath `covered`
};

// The visible images that reach into `part`, in control order (a later
// image lies over an earlier one).
std::vector<ShownImage> images_in(const rt::Form& form, const RECT& part, const Win32Platform& platform) {
    std::vector<ShownImage> shown;
    for (const auto* c : form.controls()) {
        if (c->kind() != rt::ControlKind::Image || !c->Visible()) continue;
        const auto& image = static_cast<const rt::Image&>(*c);
        const auto& picture = image.GetPicture();
        if (!picture || !picture->image) continue;
        const auto* ole = dynamic_cast<const OlePicture*>(picture->image.get());
        if (ole == nullptr) continue;
        ShownImage s;
        s.picture = ole;
        s.box = control_box(*c, platform.twips_per_pixel_x(), platform.twips_per_pixel_y());
        s.cx = s.box.right - s.box.left;
        s.cy = s.box.bottom - s.box.top;
        if (!image.Stretch()) {
            s.cx = MulDiv(picture->himetric_width, platform.dpi_x(), 2540);
            s.cy = MulDiv(picture->himetric_height, platform.dpi_y(), 2540);
        }
        if (s.cx <= 0 || s.cy <= 0) continue;
        const RECT drawn{s.box.left, s.box.top, s.box.left + s.cx, s.box.top + s.cy};
        RECT in_part{};
        if (IntersectRect(&s.covered, &s.box, &drawn) == FALSE || IntersectRect(&in_part, &s.covered, &part) == FALSE) {
            continue;
        }
        s.opaque = ole->opaque();
        shown.push_back(s);
    }
    return shown;
}

// Leaves out of the clip what the opaque images from `first` on cover.
void exclude_opaque(HDC dc, const std::vector<ShownImage>& shown, std::size_t first) {
    for (std::size_t j = first; j < shown.size(); ++j) {
        const RECT& r = shown[j].covered;
        if (shown[j].opaque) ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
    }
}

}  // namespace

void FormWindow::paint() {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(hwnd_, &ps);
    // Only the part to be repainted: the drawing layer, then the images in
    // control order (a later image lies over an earlier one). The layer and
    // every image leave out what an opaque image above them covers, so each
    // pixel beneath opaque pictures is drawn once. When nothing else is in
    // the part that is all, and it goes straight to the window; an icon or
    // a metafile shows what lies beneath it, so then the part is composed
    // off screen first (no flicker) in a buffer kept for the next paint.
    const RECT part = ps.rcPaint;
    if (part.right <= part.left || part.bottom <= part.top) {
        EndPaint(hwnd_, &ps);
        form_.deliver_paint();
        return;
    }
    const int w = part.right - part.left;
    const int h = part.bottom - part.top;
    const auto shown = images_in(form_, part, platform_);
    const bool composed = std::any_of(shown.begin(), shown.end(), [](const ShownImage& s) { return !s.opaque; });
    HDC target = dc;
    if (composed) {
        if (buffer_.empty() || w > buffer_.width() || h > buffer_.height()) {
            buffer_.resize(std::max(w, buffer_.width()), std::max(h, buffer_.height()), colorref(form_.BackColor()));
        }
        target = buffer_.dc();
        // The buffer's origin is the part's top-left corner.
        SetWindowOrgEx(target, part.left, part.top, nullptr);
    }

    int saved = SaveDC(target);
    IntersectClipRect(target, part.left, part.top, part.right, part.bottom);
    exclude_opaque(target, shown, 0);
    if (!layer_.empty()) {
        BitBlt(target, part.left, part.top, w, h, layer_.dc(), part.left, part.top, SRCCOPY);
        ExcludeClipRect(target, 0, 0, layer_.width(), layer_.height());
    }
    // Beyond the layer (before it has caught up with a new size): the background.
    HBRUSH brush = CreateSolidBrush(colorref(form_.BackColor()));
    FillRect(target, &part, brush);
    DeleteObject(brush);
    RestoreDC(target, saved);

    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto& s = shown[i];
        RECT visible{};
        IntersectRect(&visible, &s.covered, &part);
        saved = SaveDC(target);
        IntersectClipRect(target, visible.left, visible.top, visible.right, visible.bottom);
        exclude_opaque(target, shown, i + 1);
        // A bitmap at its own size is copied, only the part in view; others
        // (icons, metafiles, stretched or rescaled pictures) are rendered.
        if (!s.picture->copy(target, visible.left, visible.top, visible.right - visible.left,
                             visible.bottom - visible.top, visible.left - s.box.left, visible.top - s.box.top, s.cx,
                             s.cy)) {
            s.picture->render(target, s.box.left, s.box.top, s.cx, s.cy);
        }
        RestoreDC(target, saved);
    }
    if (composed) {
        BitBlt(dc, part.left, part.top, w, h, target, part.left, part.top, SRCCOPY);
        SetWindowOrgEx(target, 0, 0, nullptr);
    }
    EndPaint(hwnd_, &ps);
    form_.deliver_paint();
}

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
    auto* control = control_of(reinterpret_cast<HWND>(lp));
    if (control == nullptr) return;
    switch (control->kind()) {
        case rt::ControlKind::CommandButton:
            if (code == BN_SETFOCUS) {
                form_.focus_changed(control);
            } else if (code == BN_CLICKED && form_.input_enabled() && control->focusable()) {
                form_.focus_changed(control);
                static_cast<rt::CommandButton*>(control)->Click();
            }
            break;
        case rt::ControlKind::TextBox:
            if (code == EN_SETFOCUS) {
                form_.focus_changed(control);
            } else if (code == EN_CHANGE) {
                // What the user typed becomes the box's text (and fires its change event).
                static_cast<rt::TextBox*>(control)->SetText(window_text(reinterpret_cast<HWND>(lp)));
            }
            break;
        default:
            break;
    }
}

void FormWindow::mouse_move(WPARAM wp, LPARAM lp) {
    POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    POINT screen = at;
    ClientToScreen(hwnd_, &screen);
    // Windows repeats a move at the same place (after a window appears or
    // changes under the cursor); only the first of a run at one place counts.
    if (last_mouse_ && last_mouse_->x == screen.x && last_mouse_->y == screen.y) return;
    last_mouse_ = screen;
    form_.deliver_mouse_move(mouse_buttons(wp), shift_state(), to_twips_x(at.x), to_twips_y(at.y));
}

LRESULT CALLBACK FormWindow::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    try {
        return self->handle(msg, wp, lp);
    } catch (const std::exception& e) {
        // A failure in a handler must not unwind through the system's
        // window code: the event is dropped and the program goes on.
        OutputDebugStringA(e.what());
        return 0;
    }
}

LRESULT FormWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
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
                form_.activated();
                auto* control = form_.ActiveControl();
                if (control != nullptr && control->peer() != nullptr && control->focusable()) {
                    control->peer()->focus();
                    return 0;
                }
            }
            break;
        case WM_SETFOCUS: {
            auto* control = form_.ActiveControl();
            if (control != nullptr && control->peer() != nullptr && control->focusable()) control->peer()->focus();
            return 0;
        }
        case WM_COMMAND:
            on_command(wp, lp);
            return 0;
        case WM_CTLCOLORSTATIC: {
            auto* control = control_of(reinterpret_cast<HWND>(lp));
            HDC dc = reinterpret_cast<HDC>(wp);
            if (control != nullptr && control->kind() == rt::ControlKind::Label) {
                const auto& label = static_cast<const rt::Label&>(*control);
                SetTextColor(dc, label.Enabled() ? colorref(label.ForeColor()) : GetSysColor(COLOR_GRAYTEXT));
                SetBkColor(dc, kLabelBack);
                return reinterpret_cast<LRESULT>(label_brush_);
            }
            break;
        }
        case WM_MOUSEMOVE:
            mouse_move(wp, lp);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: {
            const std::int16_t button = msg == WM_LBUTTONDOWN ? 1 : (msg == WM_RBUTTONDOWN ? 2 : 4);
            form_.deliver_mouse_down(button, shift_state(), to_twips_x(GET_X_LPARAM(lp)), to_twips_y(GET_Y_LPARAM(lp)));
            return 0;
        }
        case WM_LBUTTONDBLCLK:
            form_.deliver_dbl_click();
            return 0;
        case WM_SIZE:
            sync_layer_size();
            break;
        case WM_DISPLAYCHANGE:
        case WM_SETTINGCHANGE:
        case WM_DPICHANGED:
            frame_.reset();
            platform_.display_changed();
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

// The window procedure of picture boxes, for the platform's class registration.
WNDPROC picture_box_proc() { return &BoxPeer::box_proc; }

}  // namespace vellora::win32

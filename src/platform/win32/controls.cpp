#include "platform/win32/controls.h"

#include <algorithm>

#include "platform/win32/pictures.h"
#include "runtime/compose.h"
#include "runtime/failure.h"

namespace vellora::win32 {

namespace {

constexpr int kFirstControlId = 100;

std::string window_text(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

// Draws a picture at its natural size into the top-left corner of `box`, clipped to it.
void draw_picture(HDC dc, const rt::Picture& picture, const RECT& box, int dpi_x, int dpi_y) {
    if (!picture || !picture->image) return;
    const auto* native = dynamic_cast<const WinPicture*>(picture->image.get());
    if (native == nullptr) return;
    const int cx = MulDiv(picture->himetric_width, dpi_x, 2540);
    const int cy = MulDiv(picture->himetric_height, dpi_y, 2540);
    if (cx <= 0 || cy <= 0 || box.right <= box.left || box.bottom <= box.top) return;
    const SavedDc saved(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    native->render(dc, box.left, box.top, cx, cy);
}

}  // namespace

std::unique_ptr<rt::NativeControl> make_control_peer(FormWindow& window, rt::Control& control) {
    switch (control.kind()) {
        case rt::ControlKind::Label:
            return std::make_unique<LabelPeer>(window, static_cast<rt::Label&>(control));
        case rt::ControlKind::TextBox:
            return std::make_unique<TextBoxPeer>(window, static_cast<rt::TextBox&>(control));
        case rt::ControlKind::CommandButton:
            return std::make_unique<CommandButtonPeer>(window, static_cast<rt::CommandButton&>(control));
        case rt::ControlKind::Image:
            return std::make_unique<ImagePeer>(window, static_cast<rt::Image&>(control));
        case rt::ControlKind::PictureBox:
            return std::make_unique<PictureBoxPeer>(window, static_cast<rt::PictureBox&>(control));
    }
    return nullptr;
}

// ------------------------------------------------------------------ ChildPeer

void ChildPeer::update(rt::Change what) {
    if (hwnd_ == nullptr) return;
    if (rt::has(what, rt::Change::Geometry)) place();
    if (rt::has(what, rt::Change::Visible)) ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
    if (rt::has(what, rt::Change::Enabled)) EnableWindow(hwnd_, control_.Enabled() ? TRUE : FALSE);
    refresh(what);
}

void ChildPeer::focus() {
    if (hwnd_ != nullptr && IsWindowEnabled(hwnd_) != FALSE) SetFocus(hwnd_);
}

void ChildPeer::create(const char* window_class, DWORD style, DWORD ex_style, const std::string& text) {
    const RECT box = window_.box_of(control_);
    if (control_.Visible()) style |= WS_VISIBLE;
    if (!control_.Enabled()) style |= WS_DISABLED;
    const auto& controls = window_.form().controls();
    const auto index = std::find(controls.begin(), controls.end(), &control_) - controls.begin();
    hwnd_ = CreateWindowExA(ex_style, window_class, text.c_str(), style | WS_CHILD | WS_CLIPSIBLINGS, box.left,
                            box.top, box.right - box.left, box.bottom - box.top, window_.hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                            window_.system().instance(), static_cast<ChildPeer*>(this));
    if (hwnd_ != nullptr) window_.add_child(hwnd_, this);
}

void ChildPeer::destroy() {
    if (hwnd_ == nullptr) return;
    window_.remove_child(hwnd_);
    if (IsWindow(hwnd_) != FALSE) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void ChildPeer::set_font(bool bold) {
    if (hwnd_ != nullptr) {
        SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(window_.system().font(bold)), TRUE);
    }
}

void ChildPeer::place() {
    const RECT box = window_.box_of(control_);
    SetWindowPos(hwnd_, nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// ------------------------------------------------------------------ labels

LabelPeer::LabelPeer(FormWindow& window, rt::Label& label) : ChildPeer(window, label), label_(label) {
    create("STATIC", SS_LEFT, 0, label.Caption());
    set_font(label.Bold());
}

void LabelPeer::refresh(rt::Change what) {
    if (rt::has(what, rt::Change::Text)) SetWindowTextA(hwnd_, label_.Caption().c_str());
    if (rt::has(what, rt::Change::Style)) set_font(label_.Bold());
    if (rt::has(what, rt::Change::Colors)) InvalidateRect(hwnd_, nullptr, TRUE);
}

HBRUSH LabelPeer::colors(HDC dc) {
    SetTextColor(dc, label_.Enabled() ? colorref(label_.ForeColor()) : GetSysColor(COLOR_GRAYTEXT));
    SetBkColor(dc, kLabelBack);
    return window_.label_background();
}

// ------------------------------------------------------------------ text boxes

TextBoxPeer::TextBoxPeer(FormWindow& window, rt::TextBox& box) : ChildPeer(window, box), box_(box) {
    create("EDIT", ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP, WS_EX_CLIENTEDGE, box.Text());
    set_font(window.form().design().font_bold);
    SendMessageA(hwnd_, EM_SETLIMITTEXT, 0, 0);  // no length limit
    apply_password_char();
}

void TextBoxPeer::refresh(rt::Change what) {
    if (rt::has(what, rt::Change::Text) && window_text(hwnd_) != box_.Text()) {
        SetWindowTextA(hwnd_, box_.Text().c_str());
    }
    if (rt::has(what, rt::Change::Style)) apply_password_char();
}

void TextBoxPeer::notify(int code) {
    if (code == EN_SETFOCUS) {
        box_.form().focus_changed(&box_);
    } else if (code == EN_CHANGE) {
        // What the user typed becomes the box's text (and fires its change event).
        box_.SetText(window_text(hwnd_));
    }
}

// Setting ES_PASSWORD after creation does not mask an edit control; the
// password character message does.
void TextBoxPeer::apply_password_char() {
    SendMessageA(hwnd_, EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(box_.PasswordChar())), 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// ------------------------------------------------------------------ command buttons

CommandButtonPeer::CommandButtonPeer(FormWindow& window, rt::CommandButton& button)
    : ChildPeer(window, button), button_(button) {
    create("BUTTON", style(), 0, button.Caption());
    set_font(window.form().design().font_bold);
}

void CommandButtonPeer::refresh(rt::Change what) {
    if (rt::has(what, rt::Change::Text)) SetWindowTextA(hwnd_, button_.Caption().c_str());
    if (rt::has(what, rt::Change::Style)) SendMessageA(hwnd_, BM_SETSTYLE, style(), TRUE);
}

void CommandButtonPeer::notify(int code) {
    rt::Form& form = button_.form();
    if (code == BN_SETFOCUS) {
        form.focus_changed(&button_);
    } else if (code == BN_CLICKED && form.input_enabled() && button_.focusable()) {
        form.focus_changed(&button_);
        button_.Click();
    }
}

DWORD CommandButtonPeer::style() const {
    return static_cast<DWORD>(button_.Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY | WS_TABSTOP;
}

// ------------------------------------------------------------------ images

ImagePeer::ImagePeer(FormWindow& window, rt::Image& image)
    : window_(window), image_(image), box_(window.box_of(image)) {
    window_.invalidate(box_);
}

ImagePeer::~ImagePeer() { window_.invalidate(box_); }

void ImagePeer::update(rt::Change what) {
    const RECT now = window_.box_of(image_);
    // The saver gives the element the same picture (and so the same size)
    // on every tick: a box that stayed put needs no repaint.
    if (!rt::image_needs_repaint(what, to_pixel_rect(box_), to_pixel_rect(now))) return;
    window_.invalidate(box_, now);
    box_ = now;
}

// ------------------------------------------------------------------ picture boxes

PictureBoxPeer::PictureBoxPeer(FormWindow& window, rt::PictureBox& box) : ChildPeer(window, box), box_(box) {
    create(kBoxClass, 0, 0, box.name());
    rebuild();
}

PictureBoxPeer::~PictureBoxPeer() {
    if (hwnd_ != nullptr) SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    destroy();
}

void PictureBoxPeer::refresh(rt::Change what) {
    if (rt::has(what, rt::Change::Geometry)) {
        const auto [w, h] = pixel_size();
        layer_.resize(w, h, colorref(box_.BackColor()));
    }
    if (rt::has(what, rt::Change::Colors) || rt::has(what, rt::Change::Image)) rebuild();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureBoxPeer::draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
    if (hwnd_ == nullptr || layer_.empty()) return;
    const float tx = window_.system().twips_per_pixel_x();
    const float ty = window_.system().twips_per_pixel_y();
    circles_.add(hwnd_, layer_.circle(rt::twips_to_pixels(x, tx), rt::twips_to_pixels(y, ty),
                                      rt::twips_to_pixels(radius, tx), rt::twips_to_pixels(radius, ty),
                                      colorref(outline), colorref(fill)));
}

bool PictureBoxPeer::set_parent(rt::ForeignWindow parent) {
    HWND pane = window_from_number(parent);
    if (hwnd_ == nullptr || pane == nullptr || IsWindow(pane) == FALSE) return false;
    if (::SetParent(hwnd_, pane) == nullptr) return false;
    auto style = static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE));
    style = (style & ~static_cast<DWORD>(WS_POPUP)) | WS_CHILD;
    SetWindowLongPtrA(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(style));
    place();
    ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
    return true;
}

void PictureBoxPeer::paint() {
    const Painting painting(hwnd_);
    const RECT& part = painting.part();
    if (!layer_.empty()) {
        BitBlt(painting.dc(), part.left, part.top, part.right - part.left, part.bottom - part.top, layer_.dc(),
               part.left, part.top, SRCCOPY);
    }
}

LRESULT CALLBACK PictureBoxPeer::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = static_cast<PictureBoxPeer*>(reinterpret_cast<ChildPeer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wp, lp);
    LRESULT result = 0;
    rt::guarded(self->window_.system().services(), [&] { result = self->handle(hwnd, msg, wp, lp); });
    return result;
}

LRESULT PictureBoxPeer::handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case PendingRepaint::kMessage:
            circles_.flush(hwnd);
            return 0;
        case WM_NCDESTROY:
            // Destroyed with the window it was moved into.
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            window_.remove_child(hwnd);
            hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void PictureBoxPeer::place() {
    ChildPeer::place();
    const auto [w, h] = pixel_size();
    layer_.resize(w, h, colorref(box_.BackColor()));
}

std::pair<int, int> PictureBoxPeer::pixel_size() const {
    const float tx = window_.system().twips_per_pixel_x();
    const float ty = window_.system().twips_per_pixel_y();
    return {std::max(0, rt::twips_to_pixels(box_.Width(), tx)), std::max(0, rt::twips_to_pixels(box_.Height(), ty))};
}

void PictureBoxPeer::rebuild() {
    const auto [w, h] = pixel_size();
    layer_.resize(w, h, colorref(box_.BackColor()));
    layer_.clear(colorref(box_.BackColor()));
    if (!layer_.empty() && box_.GetPicture()) {
        draw_picture(layer_.dc(), box_.GetPicture(), RECT{0, 0, w, h}, window_.system().dpi_x(),
                     window_.system().dpi_y());
    }
}

}  // namespace vellora::win32

// The native window of a form: its frame and geometry, its persistent
// drawing layer with the images painted over it, and the input of the
// window handed to the form.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "platform/win32/handles.h"
#include "platform/win32/platform.h"
#include "runtime/form.h"

namespace vellora::win32 {

// An off-screen bitmap that keeps what was drawn (the persistent drawing
// layer of a form or picture box): the background colour and the circles.
class DrawingLayer {
public:
    // Makes the layer `width` x `height` pixels, keeping what it shows.
    void resize(int width, int height, COLORREF background);
    // Fills the whole layer with the colour (what was drawn is gone).
    void clear(COLORREF background);
    // A filled disc with a 1-pixel outline; returns the pixels it touched.
    RECT circle(int cx, int cy, int rx, int ry, COLORREF outline, COLORREF fill);
    [[nodiscard]] HDC dc() const { return dc_.get(); }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] bool empty() const { return !dc_; }
    // The colour of one pixel (CLR_INVALID outside the layer).
    [[nodiscard]] COLORREF pixel(int x, int y) const;

private:
    // Gone in reverse order: the bitmap is taken out of the DC, the DC
    // deleted, then the bitmap.
    GdiObject<HBITMAP> bitmap_;
    MemoryDc dc_;
    Selection selected_;
    int width_ = 0, height_ = 0;
};

// Circles come in bursts of a couple of hundred: the pixels they touch are
// gathered and invalidated with one request once the burst is over (a
// message posted to the window at the first circle), not one per circle.
class PendingRepaint {
public:
    static constexpr UINT kMessage = WM_APP + 0x31;
    void add(HWND hwnd, const RECT& touched);
    // Handles kMessage: invalidates what was gathered.
    void flush(HWND hwnd);

private:
    RECT rect_{};
};

// A control's own child window, as its form sees it (controls.h).
class ChildWindow {
public:
    virtual ~ChildWindow() = default;
    [[nodiscard]] virtual rt::Control& control() const = 0;
    // A notification of the child window (BN_CLICKED, EN_CHANGE ...).
    virtual void notify(int code) = 0;
    // WM_CTLCOLORSTATIC: sets the colours on `dc` and gives the background
    // brush; nullptr leaves the colours to the system.
    virtual HBRUSH colors(HDC dc) = 0;
};

// Labels are drawn on the classic button face, the forms' own grey.
inline constexpr COLORREF kLabelBack = RGB(192, 192, 192);

// COLORREF of a runtime colour.
inline COLORREF colorref(rt::Color c) { return static_cast<COLORREF>(c & 0xFFFFFFU); }

// Pixel rectangles both ways.
inline RECT to_rect(const rt::PixelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
inline rt::PixelRect to_pixel_rect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

class FormWindow final : public rt::NativeWindow {
public:
    FormWindow(WindowSystem& system, rt::Form& form);
    ~FormWindow() override;
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    // rt::NativeWindow
    std::unique_ptr<rt::NativeControl> create_control(rt::Control& control) override;
    void update(rt::Change what) override;
    [[nodiscard]] rt::FrameInsets frame() const override;
    void show(bool modal) override;
    void hide() override;
    void set_topmost() override;
    void set_input_enabled(bool enabled) override;
    void minimize() override;
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override;
    [[nodiscard]] std::uintptr_t handle() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }

    [[nodiscard]] HWND hwnd() const { return hwnd_; }
    [[nodiscard]] rt::Form& form() const { return form_; }
    [[nodiscard]] WindowSystem& system() const { return system_; }
    [[nodiscard]] const DrawingLayer& layer() const { return layer_; }
    // A control's pixel box in the client area.
    [[nodiscard]] RECT box_of(const rt::Control& control) const;
    // The control whose window this is, if any.
    [[nodiscard]] rt::Control* control_of(HWND child) const;
    void add_child(HWND child, ChildWindow* window) { children_[child] = window; }
    void remove_child(HWND child) { children_.erase(child); }
    // The background of labels (kLabelBack).
    [[nodiscard]] HBRUSH label_background() const { return label_brush_.get(); }
    void invalidate() const;
    // Repaints one part of the client area (pixels).
    void invalidate(const RECT& box) const;
    // Repaints two parts (where something was and where it is now).
    void invalidate(const RECT& a, const RECT& b) const;

    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    // The answer to a message; nothing: the system's default handling.
    std::optional<LRESULT> handle(UINT msg, WPARAM wp, LPARAM lp);
    void paint();
    void compose(HDC dc, const RECT& part);
    void on_command(WPARAM wp, LPARAM lp);
    void mouse_move(WPARAM wp, LPARAM lp);
    [[nodiscard]] float to_twips_x(int px) const;
    [[nodiscard]] float to_twips_y(int px) const;
    void sync_layer_size();

    WindowSystem& system_;
    rt::Form& form_;
    HWND hwnd_ = nullptr;
    bool has_menu_ = false;
    DWORD style_ = 0;
    DWORD ex_style_ = 0;
    DrawingLayer layer_;
    DrawingLayer buffer_;  // where a part with see-through pictures is composed; only grows
    GdiObject<HBRUSH> label_brush_;
    std::map<HWND, ChildWindow*> children_;
    mutable std::optional<rt::FrameInsets> frame_;  // the frame's widths, until the system's metrics change
    PendingRepaint circles_;
};

}  // namespace vellora::win32

// The native side of forms and controls on Win32.
#pragma once

#include "platform/win32/win32_platform.h"

namespace vellora::win32 {

// An off-screen bitmap that keeps what was drawn (the persistent drawing
// layer of a form or picture box): the background colour and the circles.
class DrawingLayer {
public:
    DrawingLayer() = default;
    ~DrawingLayer();
    DrawingLayer(const DrawingLayer&) = delete;
    DrawingLayer& operator=(const DrawingLayer&) = delete;

    // Makes the layer `width` x `height` pixels, keeping what it shows.
    void resize(int width, int height, COLORREF background);
    // Fills the whole layer with the colour (what was drawn is gone).
    void clear(COLORREF background);
    // A filled disc with a 1-pixel outline; returns the pixels it touched.
    RECT circle(int cx, int cy, int rx, int ry, COLORREF outline, COLORREF fill);
    [[nodiscard]] HDC dc() const { return dc_; }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] bool empty() const { return dc_ == nullptr; }
    // The colour of one pixel (CLR_INVALID outside the layer).
    [[nodiscard]] COLORREF pixel(int x, int y) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_bitmap_ = nullptr;
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

class FormWindow final : public rt::NativeWindow {
public:
    FormWindow(Win32Platform& platform, rt::Form& form);
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
    [[nodiscard]] Win32Platform& platform() const { return platform_; }
    [[nodiscard]] const DrawingLayer& layer() const { return layer_; }
    // The control whose window this is, if any.
    [[nodiscard]] rt::Control* control_of(HWND child) const;
    void add_child(HWND child, rt::Control* control) { children_[child] = control; }
    void remove_child(HWND child) { children_.erase(child); }
    void invalidate() const;
    // Repaints one part of the client area (pixels).
    void invalidate(const RECT& box) const;
    // Repaints two parts (where something was and where it is now).
    void invalidate(const RECT& a, const RECT& b) const;

    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void paint();
    void on_command(WPARAM wp, LPARAM lp);
    void mouse_move(WPARAM wp, LPARAM lp);
    [[nodiscard]] float to_twips_x(int px) const;
    [[nodiscard]] float to_twips_y(int px) const;
    void sync_layer_size();

    Win32Platform& platform_;
    rt::Form& form_;
    HWND hwnd_ = nullptr;
    HMENU menu_ = nullptr;
    DWORD style_ = 0;
    DWORD ex_style_ = 0;
    DrawingLayer layer_;
    DrawingLayer buffer_;  // where a part with see-through pictures is composed; only grows
    HBRUSH label_brush_ = nullptr;
    std::map<HWND, rt::Control*> children_;
    std::optional<POINT> last_mouse_;  // screen position of the last delivered move
    mutable std::optional<rt::FrameInsets> frame_;  // the frame's widths, until the system's metrics change
    PendingRepaint circles_;
};

}  // namespace vellora::win32

// Owners of what the Win32 runtime takes from the system: kernel handles,
// GDI objects and device contexts, global memory blocks, icons, menus,
// registry keys, COM pointers (the SDK's own ComPtr), the shell's text
// blocks and the OLE session. Each gives its object back when it goes,
// however the scope ends; none of these calls appears anywhere else in the
// runtime.
#pragma once

#include <utility>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

namespace vellora::win32 {

// One object of type T and the call that frees it. Moves, never copies;
// the empty value is T{}.
template <typename T, typename Free>
class Owned {
public:
    Owned() = default;
    explicit Owned(T value) : value_(value) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(std::exchange(other.value_, T{}));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    [[nodiscard]] T get() const { return value_; }
    explicit operator bool() const { return value_ != T{}; }
    // Frees the object held and holds `value` instead.
    void reset(T value = T{}) {
        if (value_ != T{}) Free{}(value_);
        value_ = value;
    }
    // Gives the object up without freeing it (someone else owns it now).
    T release() { return std::exchange(value_, T{}); }
    // Frees the object held and gives the place for a creating call to fill.
    T* receive() {
        reset();
        return &value_;
    }

private:
    T value_{};
};

struct CloseKernelHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct FreeGlobal {
    void operator()(HGLOBAL memory) const { GlobalFree(memory); }
};
struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DeleteMemoryDc {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct DestroyIconHandle {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct DestroyMenuHandle {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct CloseRegistryKey {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
struct FreeTaskMemory {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};

// Files, mutexes: a file that did not open (INVALID_HANDLE_VALUE) is held as nothing.
using KernelHandle = Owned<HANDLE, CloseKernelHandle>;
inline KernelHandle own_file(HANDLE file) { return KernelHandle(file == INVALID_HANDLE_VALUE ? nullptr : file); }

using GlobalMemory = Owned<HGLOBAL, FreeGlobal>;
// Bitmaps, brushes, pens, fonts, regions.
template <typename T>
using GdiObject = Owned<T, DeleteGdiObject>;
using MemoryDc = Owned<HDC, DeleteMemoryDc>;
using IconHandle = Owned<HICON, DestroyIconHandle>;
using MenuHandle = Owned<HMENU, DestroyMenuHandle>;
using RegistryKey = Owned<HKEY, CloseRegistryKey>;
// A COM interface pointer holding one reference.
using Microsoft::WRL::ComPtr;
// A block the shell allocated for us (a known folder's path).
using TaskText = Owned<wchar_t*, FreeTaskMemory>;

// An object selected into a device context; the object that was selected
// before goes back in when this goes.
class Selection {
public:
    Selection() = default;
    Selection(HDC dc, HGDIOBJ object)
        : dc_(dc), old_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~Selection() { restore(); }
    Selection(Selection&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)), old_(std::exchange(other.old_, nullptr)) {}
    Selection& operator=(Selection&& other) noexcept {
        if (this != &other) {
            restore();
            dc_ = std::exchange(other.dc_, nullptr);
            old_ = std::exchange(other.old_, nullptr);
        }
        return *this;
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    // False when the object could not be selected (a bitmap selected elsewhere).
    [[nodiscard]] bool selected() const { return old_ != nullptr && old_ != HGDI_ERROR; }

private:
    void restore() {
        if (dc_ != nullptr && selected()) SelectObject(dc_, old_);
        dc_ = nullptr;
        old_ = nullptr;
    }
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// A window's device context from GetDC (nullptr: the screen's).
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    [[nodiscard]] HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// A device context's state, put back when this goes.
class SavedDc {
public:
    explicit SavedDc(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDc() {
        if (saved_ != 0) RestoreDC(dc_, saved_);
    }
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;

private:
    HDC dc_;
    int saved_;
};

// One WM_PAINT: BeginPaint now, EndPaint when this goes.
class Painting {
public:
    explicit Painting(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
    ~Painting() { EndPaint(hwnd_, &ps_); }
    Painting(const Painting&) = delete;
    Painting& operator=(const Painting&) = delete;
    [[nodiscard]] HDC dc() const { return dc_; }
    // The part of the client area to repaint.
    [[nodiscard]] const RECT& part() const { return ps_.rcPaint; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// OLE on this thread for as long as this lives (pictures need it).
class OleSession {
public:
    OleSession() : started_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleSession() {
        if (started_) OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;

private:
    bool started_;
};

}  // namespace vellora::win32

#include "platform/win32/win32_support.h"

#include <algorithm>
#include <stdexcept>

namespace vellora::win32::testing {

namespace {

void put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFFU);
    s += static_cast<char>((v >> 8U) & 0xFFU);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, static_cast<std::uint16_t>(v & 0xFFFFU));
    put16(s, static_cast<std::uint16_t>(v >> 16U));
}

std::function<void(HWND)>& pending_dialog_action() {
    static std::function<void(HWND)> action;  // one test thread, one dialog at a time
    return action;
}

BOOL CALLBACK find_dialog(HWND hwnd, LPARAM found) {
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(hwnd) != FALSE) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK dialog_watch(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &find_dialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    KillTimer(nullptr, id);
    auto action = std::move(pending_dialog_action());
    pending_dialog_action() = nullptr;
    if (action) action(dialog);
}

}  // namespace

FormWindow& native(const rt::Form& form) {
    auto* window = dynamic_cast<FormWindow*>(form.peer());
    if (window == nullptr) throw std::logic_error("the form has no window: " + form.name());
    return *window;
}

HWND hwnd_of(const rt::Control& control) {
    const auto& window = native(control.form());
    for (HWND child = GetWindow(window.hwnd(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (window.control_of(child) == &control) return child;
    }
    return nullptr;
}

TempFolder::TempFolder() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    path_ = std::string(base) + "vellora-win32-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name != "." && name != "..") DeleteFileA(file(name).c_str());
        } while (FindNextFileA(find, &data) != FALSE);
        FindClose(find);
    }
    RemoveDirectoryA(path_.c_str());
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string bmp_bytes(int width, int height, rt::Color color) {
    const int row = (width * 3 + 3) & ~3;
    const auto image = static_cast<std::uint32_t>(row * height);
    std::string s = "BM";
    put32(s, 54 + image);
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);
    put32(s, static_cast<std::uint32_t>(width));
    put32(s, static_cast<std::uint32_t>(height));
    put16(s, 1);
    put16(s, 24);
    put32(s, 0);
    put32(s, image);
    put32(s, 3780);  // 96 dots per inch
    put32(s, 3780);
    put32(s, 0);
    put32(s, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            s += static_cast<char>(rt::blue_of(color));
            s += static_cast<char>(rt::green_of(color));
            s += static_cast<char>(rt::red_of(color));
        }
        s.append(static_cast<std::size_t>(row - width * 3), '\0');
    }
    return s;
}

std::string wmf_bytes(std::int16_t width, std::int16_t height, std::uint16_t inch) {
    std::string s;
    // Placeable header: key, handle, bounds, units per inch, reserved, checksum.
    const std::uint16_t words[10] = {0xCDD7, 0x9AC6, 0, 0, 0, static_cast<std::uint16_t>(width),
                                     static_cast<std::uint16_t>(height), inch, 0, 0};
    std::uint16_t checksum = 0;
    for (auto w : words) {
        put16(s, w);
        checksum ^= w;
    }
    put16(s, checksum);
    // The metafile header, one rectangle record, the end record.
    put16(s, 1);
    put16(s, 9);
    put16(s, 0x0300);
    put32(s, 9 + 7 + 3);
    put16(s, 0);
    put32(s, 7);
    put16(s, 0);
    put32(s, 7);
    put16(s, 0x041B);
    put16(s, static_cast<std::uint16_t>(height));
    put16(s, static_cast<std::uint16_t>(width));
    put16(s, 0);
    put16(s, 0);
    put32(s, 3);
    put16(s, 0);
    return s;
}

std::string test_picture(const std::string& name) {
    const char* dir = std::getenv("VELLORA_TEST_PICTURES");
    return std::string(dir != nullptr ? dir : ".") + "\\" + name;
}

Capture::Capture(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT client{};
    GetClientRect(hwnd, &client);
    width_ = client.right;
    height_ = client.bottom;
    HDC window_dc = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(window_dc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, window_dc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(p, p + static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, window_dc);
}

COLORREF Capture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const std::uint32_t v = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                    static_cast<std::size_t>(x)];
    return RGB((v >> 16U) & 0xFFU, (v >> 8U) & 0xFFU, v & 0xFFU);
}

void when_dialog_opens(std::function<void(HWND)> act) {
    pending_dialog_action() = std::move(act);
    SetTimer(nullptr, 0, 50, &dialog_watch);
}

void settle(Win32Platform& platform) {
    for (int i = 0; i < 3; ++i) {
        platform.pump_pending();
        Sleep(10);
    }
    platform.pump_pending();
}

}  // namespace vellora::win32::testing

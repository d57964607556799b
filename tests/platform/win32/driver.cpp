// The Win32 contract driver: window messages, dialogs answered inside their loops, failures from the debug output.
#include <algorithm>
#include <map>

#include "platform/win32/support.h"
#include "runtime/contract_driver.h"

#include <commctrl.h>

namespace vellora::contract {
namespace {

using win32::testing::hwnd_of;

std::string text_of(HWND hwnd) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Thread timers, each running its step until it says it is done, inside whatever loop runs (a dialog's too).
std::map<UINT_PTR, std::function<bool()>> steps;
void CALLBACK run_step(HWND /*hwnd*/, UINT /*msg*/, UINT_PTR id, DWORD /*time*/) {
    if (auto step = steps[id]; !step || step()) {
        KillTimer(nullptr, id);
        steps.erase(id);
    }
}
void every(int ms, std::function<bool()> step) { steps[SetTimer(nullptr, 0, static_cast<UINT>(ms), &run_step)] = step; }

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text; the system handles it and goes on.
std::string debug_output;
LONG CALLBACK collect_debug_output(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        debug_output += reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// The names in the file list of an open file dialog (its shell view's list), sorted.
std::vector<std::string> listed_files(HWND dialog) {
    HWND list = FindWindowExA(FindWindowExA(dialog, nullptr, "SHELLDLL_DefView", nullptr), nullptr, "SysListView32", nullptr);
    std::vector<std::string> names;
    const auto count = list != nullptr ? SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : 0;
    for (int i = 0; i < count; ++i) {
        char text[MAX_PATH] = {};
        ListView_GetItemText(list, i, 0, text, MAX_PATH);
        names.emplace_back(text);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Win32Driver final : public Driver {
public:
    Win32Driver() { debug_output.clear(); }
    ~Win32Driver() override {
        RemoveVectoredExceptionHandler(handler_);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VelloraContractTest");
    }
    rt::Platform& platform() override { return platform_; }
    void key(rt::Form& form, std::int16_t key, std::int16_t shift) override {
        HWND target = GetFocus();
        if (target == nullptr || (target != hwnd_of(form) && GetParent(target) != hwnd_of(form))) target = hwnd_of(form);
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_SHIFT] = (shift & rt::shift::Shift) != 0 ? 0x80 : 0;
        SetKeyboardState(state);
        const bool alt = (shift & rt::shift::Alt) != 0;
        const auto scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC));
        post(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(key), 1 | scan << 16 | LPARAM{alt} << 29);
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }
    void click(rt::CommandButton& button) override { post(hwnd_of(button), BM_CLICK, 0, 0); }
    void close(rt::Form& form) override { post(hwnd_of(form), WM_SYSCOMMAND, SC_CLOSE, 0); }
    void later(int ms, std::function<void()> action) override {
        every(ms, [action = std::move(action)] {
            action();
            return true;
        });
    }
    std::string shown_text(rt::TextBox& box) override {
        const auto mask = static_cast<char>(SendMessageA(hwnd_of(box), EM_GETPASSWORDCHAR, 0, 0));
        const std::string text = text_of(hwnd_of(box));
        return mask != 0 ? std::string(text.size(), mask) : text;
    }
    std::string failures() override { return debug_output; }
    void answer_next(const DialogAnswer& answer) override {
        every(20, [this, answer, waited = 0]() mutable {
            HWND dialog = FindWindowA("#32770", nullptr);  // the system's dialog class
            if (dialog == nullptr || IsWindowVisible(dialog) == FALSE) return false;
            seen_ = {};
            if (answer.kind == DialogKind::Message) {
                seen_ = {text_of(GetDlgItem(dialog, 0xFFFF)), text_of(dialog), std::nullopt, "", {}};
            } else if (answer.kind == DialogKind::Color) {  // the red, green and blue boxes
                const auto part = [&](int id) { return static_cast<int>(GetDlgItemInt(dialog, id, nullptr, FALSE)); };
                seen_.color = rt::rgb(part(706), part(707), part(708));
                for (int i = 0; i < 3; ++i) SetDlgItemInt(dialog, 706 + i, (answer.color >> (8 * i)) & 0xFFU, FALSE);
            } else {
                const auto listed = listed_files(dialog);
                if (listed.empty() && ++waited < 100) return false;  // its folder is read yet
                seen_.files = listed;
                HWND types = GetDlgItem(dialog, 0x0470);  // the file-type box
                std::string type(256, '\0');
                const auto n = SendMessageA(types, CB_GETLBTEXT, static_cast<WPARAM>(SendMessageA(types, CB_GETCURSEL, 0, 0)),
                                            reinterpret_cast<LPARAM>(type.data()));
                seen_.file_type = type.substr(0, static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
                SendMessageA(dialog, CDM_SETCONTROLTEXT, 0x047C, reinterpret_cast<LPARAM>(answer.file.c_str()));
                SetDlgItemTextA(dialog, 0x0480, answer.file.c_str());
            }
            PostMessageA(dialog, WM_COMMAND, answer.ok ? IDOK : IDCANCEL, 0);
            return true;
        });
    }
    std::optional<rt::Color> shown_pixel(rt::Form& form, int x, int y) override {
        const COLORREF c = win32::testing::shown(platform_, hwnd_of(form), x, y);
        return rt::rgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
    bool change_display(const std::vector<rt::Form*>& forms) override {
        for (const auto* form : forms) PostMessageA(hwnd_of(*form), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
        return true;
    }
    void copy_time(const std::string& from, const std::string& to) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExA(from.c_str(), GetFileExInfoStandard, &data);
        HANDLE file = CreateFileA(to.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(file, nullptr, nullptr, &data.ftLastWriteTime);
        CloseHandle(file);
    }

private:
    void post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        PostMessageA(hwnd, msg, wp, lp);
        platform_.window_system().pump_pending();
    }
    win32::Win32Platform platform_;
    void* handler_ = AddVectoredExceptionHandler(1, &collect_debug_output);
};

}  // namespace

std::unique_ptr<Driver> make_driver() { return std::make_unique<Win32Driver>(); }

}  // namespace vellora::contract

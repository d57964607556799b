#include "platform/win32/dialogs.h"

#include <algorithm>
#include <vector>

#include <commdlg.h>

namespace vellora::win32 {

std::string filter_for_dialog(const std::string& filter) {
    std::string out;
    for (const auto& entry : rt::split_filter(filter)) {
        out += entry.description;
        out += '\0';
        out += entry.pattern;
        out += '\0';
    }
    out += '\0';
    if (out.size() == 1) out += '\0';
    return out;
}

void Dialogs::message_box(const rt::MessageBoxRequest& request) {
    const UINT icon = request.icon == rt::MessageIcon::Stop ? MB_ICONSTOP : 0U;
    MessageBoxA(windows_.dialog_owner(), request.text.c_str(), request.title.c_str(), icon | MB_OK);
}

std::optional<rt::Color> Dialogs::choose_color(const rt::ColorDialogRequest& request) {
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = windows_.dialog_owner();
    cc.rgbResult = static_cast<COLORREF>(request.initial & 0xFFFFFFU);
    cc.lpCustColors = custom_colors_.data();
    cc.Flags = request.start_on_initial ? CC_RGBINIT : 0U;
    if (ChooseColorA(&cc) == FALSE) return std::nullopt;
    return static_cast<rt::Color>(cc.rgbResult & 0xFFFFFFU);
}

std::optional<std::string> Dialogs::open_file(const rt::FileDialogRequest& request) {
    const std::string filter = filter_for_dialog(request.filter);
    std::vector<char> name(std::max<std::size_t>(32768, request.file_name.size() + 1), '\0');
    std::copy(request.file_name.begin(), request.file_name.end(), name.begin());
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = windows_.dialog_owner();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(std::max(request.filter_index, 0));
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.Flags = request.hide_read_only ? static_cast<DWORD>(OFN_HIDEREADONLY) : 0U;
    if (GetOpenFileNameA(&ofn) == FALSE) return std::nullopt;
    return std::string(name.data());
}

}  // namespace vellora::win32

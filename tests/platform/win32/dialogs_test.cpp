// The system dialogs, answered from inside their loops.
#include <gtest/gtest.h>

#include "platform/win32/support.h"

namespace vellora::win32 {
namespace {

using testing::when_dialog_opens;

std::string text_of(HWND hwnd) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

TEST(Win32Dialogs, MessageBoxShowsTheExactTextTitleAndStopIcon) {
    Win32Platform platform;
    std::string shown_text, shown_title;
    bool has_icon = false;
    bool has_cancel = true;
    when_dialog_opens([&](HWND box) {
        shown_title = text_of(box);
        shown_text = text_of(GetDlgItem(box, 0xFFFF));
        for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            if ((GetWindowLongPtrA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) has_icon = true;
        }
        has_cancel = GetDlgItem(box, IDCANCEL) != nullptr && IsWindowVisible(GetDlgItem(box, IDCANCEL)) != FALSE;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    const std::string text = "Incorrect password;\r\n\r\nCheck your screen saver password and try again.";
    platform.dialogs().message_box({text, "", rt::MessageIcon::Stop});
    EXPECT_EQ(shown_text, text);
    EXPECT_EQ(shown_title, "");
    EXPECT_TRUE(has_icon);
    EXPECT_FALSE(has_cancel);
}

TEST(Win32Dialogs, ColorDialogOpensOnTheGivenColourAndCancelGivesNothing) {
    Win32Platform platform;
    when_dialog_opens([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); });
    auto chosen = platform.dialogs().choose_color({rt::rgb(0, 0, 255), true});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, rt::rgb(0, 0, 255));
    when_dialog_opens([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_FALSE(platform.dialogs().choose_color({rt::rgb(255, 0, 0), true}));
}

TEST(Win32Dialogs, FileDialogOffersTheFilterAtItsIndexAndGivesTheFullPath) {
    Win32Platform platform;
    testing::TempFolder dir;
    const std::string long_name =
        "a-picture-with-a-name-much-longer-than-twenty-four-characters-and-more.bmp";
    testing::write_file(dir.file(long_name), testing::bmp_bytes(4, 4, 0));
    const std::string filter =
        "All Files (*.*)|*.*|BMPs(*.bmp)|*.bmp|GIFs(*.Gif)|*.Gif|JPEGs(*.Jpg)|*.Jpg|WMFs(*.wmf) | *.wmf|"
        "ICOs(*.ico) | *.ico|All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf)|*.bmp;*.ico;*.gif;*.jpg;*.wmf";
    std::string type_shown(256, '\0');
    when_dialog_opens([&](HWND dialog) {
        HWND types = GetDlgItem(dialog, 0x0470);  // the file-type box
        const auto n = SendMessageA(types, CB_GETLBTEXT, static_cast<WPARAM>(SendMessageA(types, CB_GETCURSEL, 0, 0)),
                                    reinterpret_cast<LPARAM>(type_shown.data()));
        type_shown.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        SendMessageA(dialog, CDM_SETCONTROLTEXT, 0x047C, reinterpret_cast<LPARAM>(dir.file(long_name).c_str()));
        SetDlgItemTextA(dialog, 0x0480, dir.file(long_name).c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    auto path = platform.dialogs().open_file({filter, 7, true, ""});
    ASSERT_TRUE(path);
    EXPECT_TRUE(path->ends_with(long_name)) << *path;
    EXPECT_EQ(type_shown, "All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf)");

    when_dialog_opens([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_FALSE(platform.dialogs().open_file({filter, 7, true, *path}));
}

}  // namespace
}  // namespace vellora::win32

// The help viewer: the help file from its beginning, or where it was looked for.
#include <gtest/gtest.h>

#include "platform/win32/help.h"
#include "platform/win32/services.h"
#include "platform/win32/support.h"

namespace vellora::win32 {
namespace {

std::string text_of(HWND hwnd) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

TEST(Win32Help, ViewerShowsTheTextFromItsBeginningOrSaysItIsMissing) {
    Win32Platform platform;
    testing::TempFolder dir;
    std::string content = "Vellora help\nFirst line\n";
    for (int i = 0; i < 200; ++i) content += "more text line " + std::to_string(i) + "\n";
    testing::write_file(dir.file("vellora.hlp"), content);
    platform.services().show_help(dir.file("vellora.hlp"));
    HWND viewer = platform.system_services().help_window();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(IsWindowVisible(viewer));
    HWND edit = GetWindow(viewer, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(text_of(edit), with_crlf_line_breaks(content));
    EXPECT_EQ(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_NE(GetWindowLongPtrA(edit, GWL_STYLE) & ES_READONLY, 0);

    platform.services().show_help(dir.file("missing.hlp"));  // the same viewer says so
    EXPECT_EQ(platform.system_services().help_window(), viewer);
    EXPECT_NE(text_of(edit).find("could not be found"), std::string::npos);
    EXPECT_NE(text_of(edit).find("missing.hlp"), std::string::npos);
    DestroyWindow(viewer);
    EXPECT_EQ(platform.system_services().help_window(), nullptr);
    platform.services().show_help(dir.file("vellora.hlp"));  // and a closed viewer opens again
    EXPECT_NE(platform.system_services().help_window(), nullptr);
}

}  // namespace
}  // namespace vellora::win32

// Forms as real windows: styles and sizes, controls, keys, mouse, closing,
// modal loops with live timers, painting and picture boxes in other windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/pictures.h"
#include "platform/win32/support.h"

namespace vellora::win32 {
namespace {

using testing::Capture;
using testing::hwnd_of;
using testing::PlainForm;
using testing::settle;
using testing::TestForm;

class Win32FormsTest : public ::testing::Test {
protected:
    int px_x(float twips) const { return rt::twips_to_pixels(twips, windows.twips_per_pixel_x()); }
    int px_y(float twips) const { return rt::twips_to_pixels(twips, windows.twips_per_pixel_y()); }
    void post(HWND hwnd, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        PostMessageA(hwnd, msg, wp, lp);
        windows.pump_pending();
    }
    static std::string text_of(HWND hwnd) {
        char buffer[256] = {};
        GetWindowTextA(hwnd, buffer, sizeof buffer);
        return buffer;
    }
    static std::string class_of(HWND hwnd) {
        char buffer[64] = {};
        GetClassNameA(hwnd, buffer, sizeof buffer);
        return buffer;
    }
    static DWORD style_of(HWND hwnd, int which = GWL_STYLE) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, which)); }

    Win32Platform platform;
    WindowSystem& windows = platform.window_system();
    rt::App app{platform};
};

TEST_F(Win32FormsTest, DialogHasTheDesignedClientSizeAndStandardControls) {
    for (bool menu : {false, true}) {
        SCOPED_TRACE(menu);
        TestForm form(app, menu ? rt::BorderStyle::FixedSingle : rt::BorderStyle::FixedDialog, menu);
        form.Load();
        HWND hwnd = hwnd_of(form);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_FALSE(IsWindowVisible(hwnd));  // loaded, not shown
        RECT client{};
        GetClientRect(hwnd, &client);
        EXPECT_EQ(client.right, px_x(4665));
        EXPECT_EQ(client.bottom, px_y(2445));
        EXPECT_NEAR(form.ScaleWidth(), 4665.0F, windows.twips_per_pixel_x());
        EXPECT_EQ(GetMenu(hwnd) != nullptr, menu);
        EXPECT_NE(style_of(hwnd) & WS_CAPTION, 0U);
        EXPECT_EQ(style_of(hwnd) & WS_THICKFRAME, 0U);  // not resizable
        EXPECT_EQ(text_of(hwnd), "Vellora Test");
        HWND ok = hwnd_of(form.OK);
        EXPECT_EQ(class_of(ok), "Button");
        EXPECT_EQ(class_of(hwnd_of(form.Text1)), "Edit");
        EXPECT_EQ(class_of(hwnd_of(form.Label1)), "Static");
        EXPECT_EQ(text_of(hwnd_of(form.Label1)), "&Name:");
        EXPECT_NE(style_of(ok) & BS_DEFPUSHBUTTON, 0U);
        RECT box{};
        GetWindowRect(ok, &box);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_EQ(box.left, px_x(852));
        EXPECT_EQ(box.top, px_y(1980));
        EXPECT_EQ(box.right - box.left, px_x(1104));
        form.Unload();
        EXPECT_FALSE(IsWindow(hwnd));
    }

    PlainForm saver(app, "Saver");  // borderless: a popup that can cover the screen
    saver.Load();
    HWND hwnd = hwnd_of(saver);
    EXPECT_NE(style_of(hwnd) & WS_POPUP, 0U);
    EXPECT_EQ(style_of(hwnd) & (WS_CAPTION | WS_BORDER | WS_THICKFRAME), 0U);
    saver.SetTopMost();
    EXPECT_NE(style_of(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0U);
    const auto screen = app.screen();
    saver.Move(0, 0, screen.width_twips(), screen.height_twips());
    saver.Show();
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ((std::vector<LONG>{r.left, r.right, r.bottom}), (std::vector<LONG>{0, screen.width_px, screen.height_px}));
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(Win32FormsTest, KeysReachTheFormButtonsAndFocusInDialogOrder) {
    TestForm form(app);
    form.Show();
    settle(platform);
    EXPECT_EQ(GetFocus(), hwnd_of(form.OK));  // the first in tab order
    post(GetFocus(), WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(GetFocus(), hwnd_of(form.Cancel));
    EXPECT_EQ(form.ActiveControl(), &form.Cancel);
    post(GetFocus(), WM_KEYDOWN, VK_RETURN);  // Enter presses the focused button
    EXPECT_EQ(form.cancel_clicks, 1);
    EXPECT_EQ(form.ok_clicks, 0);
    post(GetFocus(), WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(GetFocus(), hwnd_of(form.Text1));
    post(GetFocus(), WM_KEYDOWN, VK_RETURN);  // in a text box Enter goes to the default button
    EXPECT_EQ(form.ok_clicks, 1);
    post(GetFocus(), WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(form.cancel_clicks, 2);
    post(GetFocus(), WM_SYSKEYDOWN, 'C');  // Alt+C, the access key of "&Cancel"
    EXPECT_EQ(form.cancel_clicks, 3);

    form.Text1.SetFocus();
    for (char c : std::string("abc")) post(GetFocus(), WM_CHAR, static_cast<WPARAM>(c));
    EXPECT_EQ(form.Text1.Text(), "abc");
    EXPECT_EQ(form.text_changes, 3);
    form.Text1.SetText("xyz");  // the program's text reaches the window
    EXPECT_EQ(text_of(hwnd_of(form.Text1)), "xyz");
    EXPECT_TRUE(form.keys.empty());  // no key went past the controls

    form.Cancel.SetFocus();  // a sent key is handled before it returns
    app.SendKey(rt::keys::Enter);
    EXPECT_EQ(form.cancel_clicks, 4);
    app.SendKey(rt::keys::Tab);
    EXPECT_EQ(form.ActiveControl(), &form.Text1);
}

TEST_F(Win32FormsTest, KeysMouseAndPaintOnAFormWithoutControls) {
    PlainForm form(app, "Saver");
    form.Show();
    settle(platform);
    post(hwnd_of(form), WM_KEYDOWN, 'A');
    post(hwnd_of(form), WM_KEYDOWN, VK_SPACE);
    EXPECT_EQ(form.keys, (std::vector<std::int16_t>{'A', VK_SPACE}));

    TestForm dialog(app, rt::BorderStyle::FixedSingle, true);
    dialog.Show();
    HWND dh = hwnd_of(dialog);
    settle(platform);
    dialog.moves.clear();
    post(dh, WM_MOUSEMOVE, 0, MAKELPARAM(10, 20));
    post(dh, WM_MOUSEMOVE, 0, MAKELPARAM(10, 20));  // the same place again is no movement
    post(dh, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(11, 20));
    ASSERT_EQ(dialog.moves.size(), 2U);
    EXPECT_FLOAT_EQ(dialog.moves[0].first, 10 * windows.twips_per_pixel_x());
    EXPECT_FLOAT_EQ(dialog.moves[0].second, 20 * windows.twips_per_pixel_y());
    post(dh, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    post(dh, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(dialog.downs, (std::vector<std::int16_t>{2}));
    EXPECT_EQ(dialog.dbl_clicks, 1);
    EXPECT_NE(GetClassLongPtrA(dh, GCL_STYLE) & CS_DBLCLKS, 0U);
    const int paints = dialog.paints;
    RedrawWindow(dh, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GT(dialog.paints, paints);
    post(dh, WM_COMMAND, MAKEWPARAM(GetMenuItemID(GetMenu(dh), 0), 0), 0);  // the menu bar's command
    EXPECT_EQ(dialog.help_clicks, 1);

    dialog.refuse_close = true;  // closing asks the form, which may refuse
    post(dh, WM_CLOSE);
    EXPECT_TRUE(IsWindow(dh) && dialog.loaded());
    dialog.refuse_close = false;
    post(dh, WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_FALSE(dialog.loaded() || IsWindow(dh));
    EXPECT_EQ(dialog.unload_modes, (std::vector<std::int16_t>{0, 0}));  // both from the control menu
}

TEST_F(Win32FormsTest, AMoveCountsOnlyAwayFromWhereThePointerRestedWhenTheFormAppeared) {
    TestForm form(app, rt::BorderStyle::FixedSingle);  // a frame: the inner area does not start at the window's corner
    form.Move(1500, 1200);
    form.Load();
    RECT r{};
    GetWindowRect(hwnd_of(form), &r);
    ASSERT_NE(SetCursorPos(r.left + 40, r.bottom - 30), FALSE);
    form.Show();
    settle(platform);
    POINT rest{};
    GetCursorPos(&rest);
    ScreenToClient(hwnd_of(form), &rest);
    post(hwnd_of(form), WM_MOUSEMOVE, 0, MAKELPARAM(rest.x, rest.y));  // as the system sends under a still pointer
    EXPECT_TRUE(form.moves.empty());
    post(hwnd_of(form), WM_MOUSEMOVE, 0, MAKELPARAM(rest.x + 1, rest.y));
    EXPECT_EQ(form.moves.size(), 1U);
}

TEST_F(Win32FormsTest, TheDesktopIsEveryMonitorAndEveryFormHearsOfAChangeOfTheDisplay) {
    const auto screen = app.screen();
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    EXPECT_EQ(screen.desktop(), (rt::PixelRect{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                               top + GetSystemMetrics(SM_CYVIRTUALSCREEN)}));
    EXPECT_EQ(screen.width_px, GetSystemMetrics(SM_CXSCREEN));  // the primary monitor

    PlainForm shown(app, "Shown");
    PlainForm hidden(app, "Hidden");
    shown.Show();
    hidden.Load();
    // The system sends this to every top-level window.
    for (const auto* form : {&shown, &hidden}) {
        post(hwnd_of(*form), WM_DISPLAYCHANGE, 32, MAKELPARAM(screen.width_px, screen.height_px));
    }
    EXPECT_EQ(shown.display_changes, 1);
    EXPECT_EQ(hidden.display_changes, 1);
}

TEST_F(Win32FormsTest, ModalShowDisablesOtherWindowsButKeepsTheirTimers) {
    PlainForm owner(app, "Owner");
    rt::Timer ticker(owner, "Ticker");
    int ticks = 0;
    ticker.SetInterval(20);
    ticker.on_timer = [&] { ++ticks; };
    owner.Show();

    TestForm prompt(app);
    rt::Timer closer(prompt, "Closer");
    bool owner_disabled_meanwhile = false;
    int ticks_before_close = 0;
    closer.SetInterval(300);
    closer.on_timer = [&] {
        owner_disabled_meanwhile = IsWindowEnabled(hwnd_of(owner)) == FALSE;
        ticks_before_close = ticks;
        prompt.Unload();
    };
    prompt.Show(true);  // returns once the prompt has unloaded
    EXPECT_FALSE(prompt.loaded());
    EXPECT_TRUE(owner_disabled_meanwhile);
    EXPECT_GE(ticks_before_close, 3);
    EXPECT_TRUE(IsWindowEnabled(hwnd_of(owner)));
    EXPECT_EQ(GetActiveWindow(), hwnd_of(owner));  // the keyboard is back with the owner
    EXPECT_TRUE(owner.keys.empty());
}

TEST_F(Win32FormsTest, AFailingHandlerDropsItsEventNotTheProgram) {
    class Failing : public PlainForm {
    public:
        using PlainForm::PlainForm;
        int paints = 0;

    protected:
        void Form_KeyDown(std::int16_t, std::int16_t) override { throw std::runtime_error("key"); }
        void Form_MouseDown(std::int16_t, std::int16_t, float, float) override { throw std::runtime_error("mouse"); }
        void Form_Paint() override { ++paints; }
    };
    Failing form(app, "Failing");
    rt::Timer Timer1(form, "Timer1");
    int ticks = 0;
    Timer1.SetInterval(20);
    Timer1.on_timer = [&] {
        ++ticks;
        throw std::runtime_error("tick");
    };
    form.Show();
    HWND hwnd = hwnd_of(form);
    EXPECT_NO_THROW(post(hwnd, WM_KEYDOWN, 'A'));
    EXPECT_NO_THROW(post(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0));
    EXPECT_NO_THROW(windows.run_until([&] { return ticks >= 3; }));
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GT(form.paints, 0);  // the window still works
}

TEST_F(Win32FormsTest, AClickWhoseHandlerThrowsIsReportedAndLaterClicksAreHandled) {
    TestForm form(app);
    int clicks = 0;
    form.OK.on_click = [&] {
        if (++clicks == 1) throw std::runtime_error("the first click fails");
    };
    form.Show();
    settle(platform);
    const testing::DebugOutput output;
    post(hwnd_of(form.OK), BM_CLICK);
    post(hwnd_of(form.OK), BM_CLICK);
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(form.loaded());
    EXPECT_NE(output.text().find("the first click fails"), std::string::npos) << output.text();
}

TEST_F(Win32FormsTest, PasswordBoxShowsAsterisks) {
    TestForm masked(app);
    masked.Text1.SetPasswordChar('*');
    masked.Show();
    masked.Text1.SetText("abc");
    TestForm stars(app);
    stars.Text1.SetText("***");
    stars.Show();
    TestForm plain(app);
    plain.Text1.SetText("abc");
    plain.Show();
    settle(platform);
    HWND edit = hwnd_of(masked.Text1);
    EXPECT_EQ(SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0), '*');
    EXPECT_EQ(text_of(edit), "abc");  // the text itself is kept
    EXPECT_TRUE(Capture(edit).same_as(Capture(hwnd_of(stars.Text1))));  // on the screen: three asterisks
    EXPECT_FALSE(Capture(edit).same_as(Capture(hwnd_of(plain.Text1))));
    masked.Text1.SetPasswordChar(0);
    EXPECT_TRUE(Capture(edit).same_as(Capture(hwnd_of(plain.Text1))));
}

TEST_F(Win32FormsTest, CirclesStayOnTheDrawingLayerUnderTheImages) {
    testing::TempFolder dir;
    testing::write_file(dir.file("red.bmp"), testing::bmp_bytes(40, 30, rt::rgb(255, 0, 0)));
    testing::write_file(dir.file("green.bmp"), testing::bmp_bytes(40, 30, rt::rgb(0, 255, 0)));
    PlainForm form(app, "Saver");
    rt::Image Image2(form, "Image2");
    rt::Image Image1(form, "Image1");  // after Image2: drawn over it
    form.Show();
    const float tx = windows.twips_per_pixel_x();
    const float ty = windows.twips_per_pixel_y();
    const auto at = [&](int x, int y) { return Capture(hwnd_of(form)).at(x, y); };
    form.Move(0, 0, 300 * tx, 200 * ty);
    Image2.Move(10 * tx, 10 * ty, 5 * tx, 5 * ty);
    Image1.Move(30 * tx, 20 * ty);
    Image2.SetPicture(app.LoadPicture(dir.file("red.bmp")));
    Image1.SetPicture(app.LoadPicture(dir.file("green.bmp")));
    EXPECT_NEAR(Image2.Width(), 40 * tx, 0.01);  // unscaled: the natural size
    form.SetFillColor(rt::rgb(255, 255, 0));
    form.Circle(200 * tx, 100 * ty, 10 * tx, rt::rgb(255, 255, 0));
    form.Circle(200 * tx, 150 * ty, 0, rt::rgb(255, 0, 255));
    settle(platform);
    EXPECT_EQ(at(5, 5), RGB(0, 0, 255));        // background
    EXPECT_EQ(at(15, 15), RGB(255, 0, 0));      // Image2 alone
    EXPECT_EQ(at(35, 25), RGB(0, 255, 0));      // Image1 over Image2
    EXPECT_EQ(at(200, 100), RGB(255, 255, 0));  // a filled disc
    EXPECT_EQ(at(200, 92), RGB(255, 255, 0));
    EXPECT_EQ(at(200, 80), RGB(0, 0, 255));
    EXPECT_EQ(at(200, 150), RGB(255, 0, 255));  // radius 0 still marks its pixel
    EXPECT_EQ(testing::native(form).layer().pixel(200, 100), RGB(255, 255, 0));

    // Stretched into its box; moving an image uncovers the circles beneath.
    Image2.SetStretch(true);
    Image2.Move(190 * tx, 90 * ty, 20 * tx, 20 * ty);
    Image2.SetPicture(app.LoadPicture(dir.file("red.bmp")));
    EXPECT_EQ(at(200, 100), RGB(255, 0, 0));
    EXPECT_EQ(at(15, 15), RGB(0, 0, 255));
    Image2.Move(250 * tx, 150 * ty);
    EXPECT_EQ(at(200, 100), RGB(255, 255, 0));
    form.SetBackColor(rt::rgb(0, 128, 0));  // a new background colour starts a clean layer
    EXPECT_EQ(at(200, 100), RGB(0, 128, 0));
}

// A bitmap whose top-left quarter is red and the rest green, so a picture
// drawn upside down or from the wrong offset shows.
std::string quartered_bmp(int width, int height) {
    std::string bytes = testing::bmp_bytes(width, height, rt::rgb(0, 255, 0));
    const int row = (width * 3 + 3) & ~3;
    for (int y = 0; y < height / 2; ++y) {
        const int stored = height - 1 - y;  // rows are stored bottom-up
        for (int x = 0; x < width / 2; ++x) {
            bytes.replace(static_cast<std::size_t>(54 + stored * row + x * 3), 3, std::string("\0\0\xFF", 3));
        }
    }
    return bytes;
}

// A 16 x 16 icon: the top half see-through, the bottom half yellow.
rt::Picture half_icon() {
    std::vector<std::uint32_t> color(16 * 16, 0);
    std::vector<std::uint16_t> mask(16, 0);  // one word a row; a set bit is see-through
    for (int y = 0; y < 16; ++y) {
        if (y < 8) mask[static_cast<std::size_t>(y)] = 0xFFFF;
        else std::fill_n(color.begin() + y * 16, 16, 0x00FFFF00U);
    }
    const GdiObject<HBITMAP> mask_bits(CreateBitmap(16, 16, 1, 1, mask.data()));
    const GdiObject<HBITMAP> color_bits(CreateBitmap(16, 16, 1, 32, color.data()));
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask_bits.get();
    info.hbmColor = color_bits.get();
    return picture_from_icon(CreateIconIndirect(&info), true);
}

TEST_F(Win32FormsTest, SeeThroughPicturesShowWhatLiesBeneathAndPartsRepaintRight) {
    testing::TempFolder dir;
    testing::write_file(dir.file("quarters.bmp"), quartered_bmp(40, 30));
    PlainForm form(app, "Saver");
    rt::Image Image2(form, "Image2");
    rt::Image Image1(form, "Image1");
    form.Show();
    const float tx = windows.twips_per_pixel_x();
    const float ty = windows.twips_per_pixel_y();
    form.Move(0, 0, 200 * tx, 120 * ty);
    Image2.SetPicture(app.LoadPicture(dir.file("quarters.bmp")));
    Image2.Move(-10 * tx, 20 * ty);  // partly beyond the left edge
    Image1.SetPicture(half_icon());
    Image1.Move(0, 28 * ty);
    form.SetFillColor(rt::rgb(255, 0, 255));
    form.Circle(150 * tx, 60 * ty, 10 * tx, rt::rgb(255, 0, 255));
    const auto whole = [&](int x, int y) { return Capture(hwnd_of(form)).at(x, y); };
    EXPECT_EQ(whole(8, 22), RGB(255, 0, 0));  // the picture's 18th column: still the red quarter
    EXPECT_EQ(whole(12, 22), RGB(0, 255, 0));
    EXPECT_EQ(whole(25, 47), RGB(0, 255, 0));  // its bottom half is green, not upside down
    EXPECT_EQ(whole(5, 30), RGB(255, 0, 0));    // the icon's see-through half shows the picture
    EXPECT_EQ(whole(12, 30), RGB(0, 255, 0));
    EXPECT_EQ(whole(5, 40), RGB(255, 255, 0));  // its own half hides it

    // Only the parts that changed are repainted now; read the screen as it is.
    const auto shown = [&](int x, int y) {
        settle(platform);
        HDC dc = GetDC(hwnd_of(form));
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(hwnd_of(form), dc);
        return c;
    };
    Image2.Move(40 * tx, 20 * ty);
    EXPECT_EQ(shown(5, 30), RGB(0, 0, 255));  // the background, through the icon
    EXPECT_EQ(shown(5, 40), RGB(255, 255, 0));
    EXPECT_EQ(shown(58, 22), RGB(255, 0, 0));
    EXPECT_EQ(shown(62, 22), RGB(0, 255, 0));
    Image1.Move(142 * tx, 44 * ty);  // over the disc: its see-through half shows the circle
    EXPECT_EQ(shown(150, 51), RGB(255, 0, 255));
    EXPECT_EQ(shown(150, 56), RGB(255, 255, 0));
    EXPECT_EQ(shown(5, 30), RGB(0, 0, 255));  // where the icon was
    Image2.Move(140 * tx, 40 * ty, 60 * tx, 30 * ty);  // under the icon; its box wider than the picture
    EXPECT_EQ(shown(150, 51), RGB(255, 0, 0));
    EXPECT_EQ(shown(150, 56), RGB(255, 255, 0));
    EXPECT_EQ(shown(185, 50), RGB(0, 0, 255));  // beyond the picture, in its box: the layer
}

TEST_F(Win32FormsTest, PictureBoxMovesIntoAnotherWindowAndSurvivesItsEnd) {
    HWND pane = CreateWindowExA(0, "STATIC", "pane", WS_POPUP | WS_VISIBLE, 100, 100, 152, 112, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(pane, nullptr);
    const auto number = static_cast<rt::ForeignWindow>(reinterpret_cast<std::uintptr_t>(pane));
    ASSERT_TRUE(windows.is_window(number));
    const auto rect = windows.client_rect(number);
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->right, 152);
    EXPECT_EQ(windows.window_rect(number)->left, 100);

    PlainForm form(app, "Preview");
    rt::PictureBox Picture1(form, "Picture1");
    Picture1.SetBackColor(rt::rgb(0, 0, 255));
    form.Load();  // never shown
    const float tx = windows.twips_per_pixel_x();
    const float ty = windows.twips_per_pixel_y();
    Picture1.Move(0, 0, 152 * tx, 112 * ty);
    HWND box = hwnd_of(Picture1);
    ASSERT_TRUE(Picture1.SetParent(number));
    EXPECT_EQ(GetParent(box), pane);
    EXPECT_NE(style_of(box) & WS_CHILD, 0U);
    EXPECT_TRUE(IsWindowVisible(box) && !IsWindowVisible(hwnd_of(form)));
    RECT r{};
    GetWindowRect(box, &r);
    EXPECT_EQ((std::vector<LONG>{r.left, r.right - r.left, r.bottom - r.top}), (std::vector<LONG>{100, 152, 112}));
    Picture1.SetFillColor(rt::rgb(255, 0, 0));
    Picture1.Circle(76 * tx, 56 * ty, 5 * tx, rt::rgb(255, 0, 0));
    settle(platform);
    EXPECT_EQ(Capture(box).at(76, 56), RGB(255, 0, 0));
    EXPECT_EQ(Capture(box).at(2, 2), RGB(0, 0, 255));

    DestroyWindow(pane);  // the pane goes, and the box with it
    settle(platform);
    EXPECT_FALSE(windows.is_window(number) || windows.client_rect(number) || IsWindow(box));
    Picture1.Circle(10, 10, 10, 0);  // drawing on a gone box does nothing
    form.Unload();
    EXPECT_FALSE(windows.is_window(0));
}

}  // namespace
}  // namespace vellora::win32

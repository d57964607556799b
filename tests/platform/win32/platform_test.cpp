// The Win32 runtime's own parts: an icon and a picture box on the screen, captions, WIC, the settings files, the
// registry.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/process.h"
#include "platform/win32/services.h"
#include "platform/win32/support.h"
#include "runtime/app.h"
#include "runtime/failure.h"
#include "settings/settings.h"
#include "startup/windows.h"
#include "support/picture_files.h"
#include "support/temp_dir.h"

namespace vellora::win32 {
namespace {

using testing::hwnd_of;
using vellora::testing::read_file;
using vellora::testing::test_picture;
using vellora::testing::write_file;

class Canvas : public rt::Form {
public:
    explicit Canvas(rt::App& app) : Form(app, "Canvas") {
        design_.border = rt::BorderStyle::None;
        design_.back_color = rt::rgb(0, 0, 255);
        design_.width = design_.height = 4500;
    }
    rt::Image Image2{*this, "Image2"};
    rt::Image Image1{*this, "Image1"};  // after Image2: drawn over it
    rt::PictureBox Picture1{*this, "Picture1"};
};

// A 16 x 16 icon: the top half see-through, the bottom half yellow.
rt::Picture half_icon() {
    std::vector<std::uint32_t> color(16 * 16, 0);  // black where the mask's bits keep the screen
    std::fill(color.begin() + 8 * 16, color.end(), 0x00FFFF00U);
    std::vector<std::uint16_t> mask(16, 0);  // one word a row; a set bit is see-through
    std::fill_n(mask.begin(), 8, std::uint16_t{0xFFFF});
    const GdiObject<HBITMAP> mask_bits(CreateBitmap(16, 16, 1, 1, mask.data()));
    const GdiObject<HBITMAP> color_bits(CreateBitmap(16, 16, 1, 32, color.data()));
    ICONINFO info{TRUE, 0, 0, mask_bits.get(), color_bits.get()};
    return picture_from_icon(CreateIconIndirect(&info), true);
}

// Read on the screen after only the changed parts were painted: the icon's see-through half shows what lies beneath,
// a picture or a circle, nothing is left where it was; a repaint of the whole window keeps the circles.
TEST(Win32Forms, AnIconShowsWhatLiesBeneathItsMaskAndAPictureBoxHasALayerOfItsOwn) {
    Win32Platform platform;
    rt::App app{platform};
    const float tx = platform.window_system().twips_per_pixel_x(), ty = platform.window_system().twips_per_pixel_y();
    Canvas form(app);
    form.Show();
    const auto shown = [&](HWND hwnd, int x, int y) { return testing::shown(platform, hwnd, x, y); };
    form.Image2.SetPicture(app.LoadPicture(test_picture("orange.tif")));  // 30 x 20
    form.Image2.Move(0, 20 * ty);
    form.Image1.SetPicture(half_icon());
    form.Image1.Move(0, 28 * ty);
    form.SetFillColor(rt::rgb(255, 0, 255));
    form.Circle(150 * tx, 60 * ty, 10 * tx, rt::rgb(255, 0, 255));
    form.Picture1.SetBackColor(rt::rgb(0, 0, 0));
    form.Picture1.Move(100 * tx, 150 * ty, 40 * tx, 40 * ty);
    form.Picture1.SetFillColor(rt::rgb(255, 0, 0));
    form.Picture1.Circle(20 * tx, 20 * ty, 5 * tx, rt::rgb(255, 0, 0));
    HWND hwnd = hwnd_of(form);
    // The icon's see-through half shows the picture, its own half hides it.
    EXPECT_EQ(std::vector({shown(hwnd, 5, 30), shown(hwnd, 5, 40)}), std::vector({RGB(255, 128, 0), RGB(255, 255, 0)}));
    EXPECT_EQ(std::vector({shown(hwnd_of(form.Picture1), 20, 20), shown(hwnd_of(form.Picture1), 2, 2)}),
              std::vector({RGB(255, 0, 0), RGB(0, 0, 0)}));
    form.Image1.Move(142 * tx, 44 * ty);  // over the disc: its see-through half shows the circle
    EXPECT_EQ(std::vector({shown(hwnd, 150, 51), shown(hwnd, 150, 56), shown(hwnd, 5, 36)}),  // and where it was
              std::vector({RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 128, 0)}));
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_EQ(shown(hwnd, 150, 66), RGB(255, 0, 255));
}

// Every label and button shows its whole caption in the font it is drawn in. The settings file is put back as it was.
TEST(Win32Forms, EveryCaptionOfEveryWindowFitsItsControl) {
    char windows_dir[MAX_PATH] = {};
    GetWindowsDirectoryA(windows_dir, MAX_PATH);
    const std::filesystem::path settings = std::filesystem::path(windows_dir) / "vellora.ini";
    const bool existed = std::filesystem::exists(settings);
    const std::string before = read_file(settings);
    const rt::ScopeExit put_back([&] { existed ? write_file(settings, before) : (void)std::filesystem::remove(settings); });
    Win32Platform platform;
    Process process(platform, make_window);
    int measured = 0;
    for (const Window which :
         {Window::MainForm, Window::ControlForm, Window::Configuration, Window::PassChange, Window::PassCheck}) {
        rt::Form& form = process.form(which);
        for (HWND child = GetWindow(hwnd_of(form), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            char kind[16] = {}, text[512] = {};
            GetClassNameA(child, kind, sizeof kind);
            const bool label = lstrcmpiA(kind, "Static") == 0;
            if ((!label && lstrcmpiA(kind, "Button") != 0) || GetWindowTextA(child, text, sizeof text) == 0) continue;
            RECT box{};
            GetClientRect(child, &box);
            if (!label) InflateRect(&box, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));  // its frame
            const WindowDc dc(child);
            const Selection font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)));
            RECT needed{0, 0, box.right - box.left, 0};
            DrawTextA(dc.get(), text, -1, &needed, DT_CALCRECT | (label ? DT_WORDBREAK : DT_SINGLELINE));
            EXPECT_TRUE(needed.right <= box.right - box.left && needed.bottom <= box.bottom - box.top)
                << "[" << text << "] needs " << needed.right << "x" << needed.bottom << ", has "
                << box.right - box.left << "x" << box.bottom - box.top;
            ++measured;
        }
        form.Unload();
    }
    EXPECT_GE(measured, 15);  // every window's labels and buttons were there to measure
}

// WIC reads TIFF, and the file dialog offers every format read. The caps hold for the header's size before any pixel
// is decoded, and for a metafile (which WIC cannot read) once OLE has decoded it.
TEST(Win32Pictures, WicReadsEveryFormatItHasAndTheHeaderGivesTheSizeBeforeAnyPixelIsDecoded) {
    Win32Platform platform;  // COM on this thread
    vellora::testing::TempDir temp;
    const auto at = [&](const char* name) { return (temp.path() / name).string(); };
    rt::App app(platform);
    const auto tiff = app.LoadPicture(test_picture("orange.tif"));
    EXPECT_EQ(tiff->himetric_width, MulDiv(30, 2540, platform.window_system().dpi_x()));
    EXPECT_TRUE(dynamic_cast<const PixelPicture&>(*tiff->image).opaque());
    const auto extensions = app.pictures().extensions();
    for (const char* extension : {"bmp", "emf", "gif", "ico", "jfif", "jpe", "jpeg", "jpg", "png", "tif", "tiff", "wmf"}) {
        EXPECT_NE(std::find(extensions.begin(), extensions.end(), extension), extensions.end()) << extension;
    }
    write_file(at("wide.bmp"), vellora::testing::bmp_bytes(85'000'000, 1, 0, false));
    write_file(at("p.wmf"), vellora::testing::wmf_bytes(1440, 720, 1440));
    write_file(at("wide.wmf"), vellora::testing::wmf_bytes(30000, 10, 20));  // 1500 inches wide
    auto& decoder = platform.services().picture_decoder();
    EXPECT_EQ(decoder.pixel_size(at("wide.bmp")), (rt::PixelSize{85'000'000, 1}));
    EXPECT_EQ(decoder.pixel_size(at("p.wmf")), std::nullopt);
    rt::PictureService pictures(decoder);
    EXPECT_THROW((void)pictures.load(at("wide.bmp")), rt::PictureError);
    EXPECT_EQ(pictures.decodes(), 0U);
    EXPECT_EQ(pictures.load(at("p.wmf"))->himetric_width, 2540);
    EXPECT_THROW((void)pictures.load(at("wide.wmf")), rt::PictureError);
    EXPECT_EQ(pictures.decodes(), 2U);
}

// The user's copy of a read-only shared file: a folder name outside the ANSI code page, its text in the code page.
TEST(Win32Settings, TheUsersCopyTakesAnyFolderNameIsWritableAndKeepsTheAnsiText) {
    const std::string e_acute = ansi_from_wide(L"\u00e9");
    ASSERT_EQ(wide_from_ansi(e_acute), L"\u00e9") << "the ANSI code page has no é";
    vellora::testing::TempDir temp;
    const std::wstring folder = temp.path().wstring() + L"\\\u0416\u03a9 Vellora";  // Cyrillic and Greek
    const std::string shared = (temp.path() / "shared.ini").string();
    const std::string old_text = "[Image]\r\nname=C:\\caf" + e_acute + ".bmp\r\n";
    write_file(shared, old_text);
    SetFileAttributesA(shared.c_str(), FILE_ATTRIBUTE_READONLY);
    UserProfileFile own(folder);
    const bool copied = own.copy_from(wide_from_ansi(shared));
    SetFileAttributesA(shared.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(copied && own.exists());
    EXPECT_EQ(GetFileAttributesW(own.path().c_str()) & FILE_ATTRIBUTE_READONLY, 0U);  // Wine writes it regardless
    EXPECT_EQ(own.read("Image", "name", "0"), "C:\\caf" + e_acute + ".bmp");
    ASSERT_TRUE(own.write("Color", "hue", "caf" + e_acute));
    EXPECT_EQ(read_file(own.path()), old_text + "[Color]\r\nhue=caf" + e_acute + "\r\n");  // ANSI, no byte-order mark
    UserProfileFile fresh(folder + L" 2");  // no shared file: the first write makes an ANSI file
    ASSERT_TRUE(fresh.copy_from(wide_from_ansi((temp.path() / "none.ini").string())));
    ASSERT_TRUE(fresh.write("Color", "hue", "caf" + e_acute));
    EXPECT_EQ(read_file(fresh.path()), "[Color]\r\nhue=caf" + e_acute + "\r\n");
}

// Both keys in one rewrite that keeps the rest, read back at once; held by another program, a write is said busy and
// moves nothing; denied, it moves.
TEST(Win32Settings, BothKeysInOneRewriteReadBackAtOnceAndOnlyADeniedWriteMovesToTheUsersCopy) {
    vellora::testing::TempDir temp;
    const std::string shared_path = (temp.path() / "shared.ini").string();
    write_file(shared_path, "; kept\r\n[Color]\r\nhue=1\r\n");
    ProfileFile shared(shared_path);
    UserProfileFile own(temp.path().wstring() + L"\\own");
    rt::RelocatingProfileFile file(
        shared, own, [&] { return own.exists(); }, [&] { return own.copy_from(shared.path()); });
    EXPECT_EQ(file.read("Color", "hue", "0"), "1");
    ASSERT_EQ(file.write_all({{"Image", "name", "c:\\sea.bmp"}, {"Color", "hue", "255"}}), rt::WriteResult::Written);
    const auto both = [&] { return std::vector({file.read("Color", "hue", "0"), file.read("Image", "name", "0")}); };
    EXPECT_EQ(both(), (std::vector<std::string>{"255", "c:\\sea.bmp"}));
    EXPECT_EQ(read_file(shared_path), "; kept\r\n[Color]\r\nhue=255\r\n[Image]\r\nname=c:\\sea.bmp\r\n");
    {
        const KernelHandle held =
            own_file(CreateFileA(shared_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(file.write_all({{"Color", "hue", "65280"}}), rt::WriteResult::Busy);
        EXPECT_FALSE(file.readable() || own.exists());
    }
    SetFileAttributesA(shared_path.c_str(), FILE_ATTRIBUTE_READONLY);
    const auto moved = file.write_all({{"Color", "hue", "65280"}});
    SetFileAttributesA(shared_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(moved == rt::WriteResult::Written && own.exists());
    EXPECT_EQ(both(), (std::vector<std::string>{"65280", "c:\\sea.bmp"}));
}

TEST(Win32Registry, ANumberReadsAsDigits) {
    const DWORD one = 1;
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\VelloraTest", "Flag", REG_DWORD, &one, sizeof one), 0);
    Registry registry;
    EXPECT_EQ(settings::ReadRegString(registry, rt::reg::CurrentUser, "Software\\VelloraTest", "Flag"), "001");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VelloraTest");
}

}  // namespace
}  // namespace vellora::win32

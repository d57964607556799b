// The Qt runtime's own parts: screens, pictures, XDG folders, the user store, the lock setting, the session, captions.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "app/process.h"
#include "platform/qt/session.h"
#include "platform/qt/support.h"
#include "runtime/app.h"
#include "settings/settings.h"
#include "startup/windows.h"
#include "support/picture_files.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

namespace fs = std::filesystem;
using vellora::testing::TempDir;
using vellora::testing::write_file;

struct QtForms : ::testing::Test {
    TempDir dir;
    QtPlatform platform{testing::options_in(dir.path())};
    rt::App app{platform};
};

// Qt's warning of a null screen, made to throw, is reported and dropped: nothing reaches Qt's dispatch.
TEST_F(QtForms, AChangeOfTheScreensThatFailsIsReportedAndDropped) {
    ::testing::internal::CaptureStderr();
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { throw std::runtime_error(text.toStdString()); });
    EXPECT_NO_THROW(Q_EMIT qGuiApp->screenAdded(nullptr));
    qInstallMessageHandler(before);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("a handler failed"), std::string::npos);
}

TEST(QtPictures, EachFormatLoadsAtItsNaturalSizeKnownByItsContentAndBrokenOrHugeFilesAreRefused) {
    TempDir dir;
    QtPictureDecoder decoder{[] { return 96.0; }};
    const auto at = [&](const std::string& name) { return (dir.path() / name).string(); };
    const auto image_of = [](const rt::Picture& picture) {
        return dynamic_cast<const QtImage&>(*picture->image).image();
    };
    const std::pair<std::string, const char*> formats[] = {
        {"p.jpg", "JPEG"}, {"p.ico", "ICO"}, {"bmp.jpg", "BMP"}, {"p.webp", "WEBP"}, {"p.tif", "TIFF"}};
    for (const auto& [name, format] : formats) {
        EXPECT_TRUE(QImage(30, 20, QImage::Format_RGB32).save(QString::fromStdString(at(name)), format)) << name;
        EXPECT_EQ(image_of(decoder.decode(at(name), 1)).size(), QSize(30, 20)) << name;
    }
    const auto extensions = decoder.extensions();  // what the file dialog offers: what Qt found, and metafiles
    for (const char* extension : {"bmp", "gif", "ico", "jfif", "jpe", "jpeg", "jpg", "png", "tif", "tiff", "webp", "wmf"}) {
        EXPECT_NE(std::find(extensions.begin(), extensions.end(), extension), extensions.end()) << extension;
    }
    write_file(at("p.wmf"), vellora::testing::wmf_bytes(1440, 720, 1440));  // 1 x 0.5 inch, red
    const auto picture = decoder.decode(at("p.wmf"), 1);
    EXPECT_EQ(picture->himetric_width, 2540);
    const QImage wmf = image_of(picture);
    EXPECT_EQ(wmf.size(), QSize(96, 48));
    EXPECT_TRUE(wmf.pixelColor(48, 24).red() > 200 && wmf.pixelColor(48, 24).green() < 60);
    const std::string broken[][2] = {
        {"bad.gif", "GIF89a" + std::string(40, '\x01')},
        {"bad.wmf", vellora::testing::wmf_bytes(1440, 720, 1440).substr(0, 30)},  // cut short after its headers
        {"huge.bmp", vellora::testing::bmp_bytes(20000, 20000, 0, false) + std::string(64, '\0')},  // not decoded
        {"large.wmf", vellora::testing::wmf_bytes(4300, 4300, 100)},  // 4128 pixels square: too many to draw
    };
    for (const auto& [name, bytes] : broken) {
        write_file(at(name), bytes);
        EXPECT_THROW((void)decoder.decode(at(name), 1), rt::PictureError) << name;
    }
    // The size the picture service holds to the caps is the header's, read before any pixel.
    write_file(at("wide.bmp"), vellora::testing::bmp_bytes(85'000'000, 1, 0, false));
    EXPECT_EQ(decoder.pixel_size(at("wide.bmp")), (rt::PixelSize{85'000'000, 1}));
    EXPECT_EQ(decoder.pixel_size(at("p.wmf")), std::nullopt);  // drawn within its own limit
    rt::PictureService pictures(decoder);
    EXPECT_THROW((void)pictures.load(at("wide.bmp")), rt::PictureError);
    EXPECT_EQ(pictures.decodes(), 0U);

    // No memory left for the drawn metafile: the decode fails, nothing is thrown through libwmf.
    struct NoMemory {
        void append(const char* /*bytes*/, std::size_t /*count*/) { throw std::bad_alloc(); }
    };
    PngSink<NoMemory> sink;
    char piece[4] = {};
    EXPECT_EQ(PngSink<NoMemory>::take(&sink, piece, 4), 0);
    EXPECT_TRUE(sink.failed);
}

TEST(QtDataFiles, TheUsersOwnFolderFirstThenEachSystemFolderInOrderForTheSparePictureAndTheHelp) {
    TempDir dir;
    const auto home = dir.path() / "home", first = dir.path() / "first", second = dir.path() / "second";
    ::unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(Paths::from_environment().system_data_dirs,
              (std::vector<fs::path>{"/usr/local/share/vellora", "/usr/share/vellora"}));
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (first.string() + "::relative/share:" + second.string()).c_str(), 1);  // 2 folders
    const auto p = Paths::from_environment();
    EXPECT_EQ(p.data_search_dirs(), (std::vector<fs::path>{home / "vellora", first / "vellora", second / "vellora"}));
    EXPECT_EQ(p.spare_picture(), home / "vellora" / "imgx.bmp");  // none anywhere: where the user's own goes
    for (const auto& folder : {second, first, home}) {
        fs::create_directories(folder / "vellora");
        write_file(folder / "vellora" / "imgx.bmp", "x");
        EXPECT_EQ(p.spare_picture(), folder / "vellora" / "imgx.bmp");
    }
    for (const auto& folder : {second, first}) write_file(folder / "vellora" / "vellora.hlp", "x");  // the same order
    const Trace trace(dir.path() / "trace.log");
    HelpViewer(trace, p.data_search_dirs()).show("vellora.hlp");
    EXPECT_EQ(vellora::testing::read_file(dir.path() / "trace.log"),
              "help [vellora.hlp] from [" + (first / "vellora" / "vellora.hlp").string() + "]\n");
}

TEST(QtPaths, RelativeXdgFoldersAreIgnoredAndWithoutHomeTheUsersOwnFoldersHoldEverything) {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        saved.emplace_back(name, std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
    }
    ::unsetenv("HOME");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    const auto p = Paths::from_environment();
    for (const auto& [name, value] : saved) value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    const fs::path home = user->pw_dir;  // the password database's
    EXPECT_EQ(p.config_dir, home / ".config" / "vellora");
    EXPECT_EQ(p.data_dir, home / ".local" / "share" / "vellora");
    EXPECT_EQ(p.runtime_dir, p.config_dir);  // private to the user, never /tmp
}

TEST(QtUserStore, PrivateToItsOwnerFromTheStartAndTightenedOnTheNextWrite) {
    TempDir dir;
    const auto mode_of = [](const fs::path& path) { return fs::status(path).permissions() & fs::perms::mask; };
    const auto old_mask = ::umask(022);
    const auto made = dir.path() / "config" / "vellora";  // new folders: each 0700, the file 0600
    ASSERT_TRUE(UserStoreFile(made / "user-store.ini").write("Samples", "Oskel Screen Saver", "Password", "SX"));
    EXPECT_EQ(std::vector({mode_of(made / "user-store.ini"), mode_of(dir.path() / "config")}),
              std::vector({fs::perms::owner_read | fs::perms::owner_write, fs::perms::owner_all}));
    // An older store in an open folder, that everyone may read: tightened; the folder and the entries stay.
    fs::create_directory(dir.path() / "open");  // 0755
    const auto old_store = dir.path() / "open" / "user-store.ini";
    write_file(old_store, "[Other\\Section]\nkey=kept\n");
    UserStoreFile store(old_store);
    ASSERT_TRUE(store.write("Samples", "Oskel Screen Saver", "Password", "SX"));
    EXPECT_EQ(mode_of(old_store), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE((mode_of(dir.path() / "open") & fs::perms::others_read) == fs::perms::others_read &&
                store.read("Other", "Section", "key", "") == "kept");
    EXPECT_EQ(::umask(old_mask), 022);  // the process's own mask is left alone
    // A folder whose default access list lets everyone read new files, which no mask can stop: still 0600.
    const auto listed = dir.path() / "listed";
    fs::create_directory(listed);
    const std::uint32_t acl[] = {2, 0x00060001, 0xFFFFFFFF, 0x00040004, 0xFFFFFFFF, 0x00040020, 0xFFFFFFFF};
    if (::setxattr(listed.c_str(), "system.posix_acl_default", acl, sizeof acl, 0) == 0) {
        ASSERT_TRUE(UserStoreFile(listed / "user-store.ini").write("Samples", "Oskel Screen Saver", "Password", "SX"));
        EXPECT_EQ(mode_of(listed / "user-store.ini"), fs::perms::owner_read | fs::perms::owner_write);
    }
    // A folder another user owns holds no store of ours: nothing planted there is read, nothing is written.
    fs::path foreign = "/tmp";  // root's, for an ordinary user
    if (::geteuid() == 0) {
        foreign = dir.path() / "foreign";
        fs::create_directory(foreign);
        write_file(foreign / "user-store.ini", "[Samples\\Oskel Screen Saver]\nPassword=planted\n");
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    }
    UserStoreFile planted(foreign / (::geteuid() == 0 ? "user-store.ini" : "vellora-test-" + std::to_string(::getpid())));
    EXPECT_EQ(planted.read("Samples", "Oskel Screen Saver", "Password", ""), "");
    EXPECT_FALSE(planted.write("Samples", "Oskel Screen Saver", "Password", "SX"));
}

TEST(QtLockSetting, TheOverrideOrXScreenSaversLockIsTheDesktopPasswordFlagButNeverInAHack) {
    EXPECT_EQ(xscreensaver_lock("lock:  False\n"), std::optional<bool>(false));
    TempDir dir;
    const auto flag = [&](std::optional<bool> lock, bool hack = false) {
        Options o = testing::options_in(dir.path());
        o.lock_override = lock;
        if (hack) o.hack = HackTarget{0x400001};
        const Trace trace;
        QtServices services(o, trace, [] { return 96.0; });
        return settings::ReadDesktopPasswordFlag(services);
    };
    write_file(dir.path() / ".xscreensaver", "mode: one\nlock:\t\tTrue\nlockTimeout: 0:00:00\n");
    EXPECT_EQ((std::vector{flag(std::nullopt), flag(false), flag(true, true)}), (std::vector<std::int16_t>{1, 0, 0}));
    // KDE Plasma: its automatic lock, in its [Daemon] group, flags and all; on when nothing says otherwise.
    const std::vector<fs::path> kde = {dir.path() / "missing", dir.path() / "kscreenlockerrc"};
    write_file(kde[1], "[Daemon]\nTimeout=5\nAutolock[$i]=false\n[Greeter]\nAutolock=true\n");
    const LockSources on_kde{std::nullopt, {}, true, false, "KDE", kde};
    EXPECT_EQ(read_lock_setting(on_kde), std::optional<bool>(false));
    write_file(kde[1], "[Daemon]\nLockOnResume=false\n");
    EXPECT_EQ(read_lock_setting(on_kde), std::optional<bool>(true));
    // No home folder known: no file of the user's is read, and none in the current folder instead.
    const auto homeless = LockSources::from_environment(std::nullopt, {}, {}, true, false);
    EXPECT_TRUE(homeless.xscreensaver_rc.empty() &&
                std::ranges::all_of(homeless.kde_files, [](const fs::path& f) { return f.is_absolute(); }));
}

// What draws into another program's X11 window goes through Xwayland, or is refused without it.
TEST(QtSession, WaylandNativelyAndX11WindowsThroughXwaylandOrRefused) {
    const auto platform = [](const SessionChoice& c) { return c.platform.value_or("qt's own") + "|" + c.refusal; };
    EXPECT_EQ(platform(choose_session("wayland-0", "", "", needs_x11_window({"/s"}, false))), "wayland|");
    EXPECT_EQ(platform(choose_session("", ":0", "", needs_x11_window({"/p", "123"}, false))), "qt's own|");
    EXPECT_EQ(platform(choose_session("wayland-0", ":0", "", needs_x11_window({"/P", "123"}, false))), "xcb|");
    const auto refused = choose_session("wayland-0", "", "wayland", needs_x11_window({"-window-id", "7"}, true));
    EXPECT_TRUE(!refused.platform && refused.refusal.find("-window-id") != std::string::npos &&
                refused.refusal.find("Wayland") != std::string::npos)
        << refused.refusal;
}

// Every caption whole in the font drawn at the screen's pixel ratio (1, 1.25, 1.5, 2): Wine's MS Sans Serif at 1,
// Tahoma elsewhere, its letters scaled with the ratio (a bitmap font would keep its glyphs' size).
TEST_F(QtForms, EveryCaptionOfEveryWindowFitsItsBoxInTheFontDrawnAtTheScreensScale) {
    Process process(platform, make_window);
    const double ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    const std::string face = ratio == 1.0 ? "MS Sans Serif 13" : "Tahoma 11";
    const auto ink_height = [](const QImage& image) {  // rows with a dark pixel, from the first to the last
        std::vector<int> rows;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) == 255 && qGray(image.pixel(x, y)) < 128) rows.push_back(y);
            }
        }
        return rows.empty() ? 0 : rows.back() - rows.front() + 1;
    };
    int measured = 0;
    for (const Window which :
         {Window::MainForm, Window::ControlForm, Window::Configuration, Window::PassChange, Window::PassCheck}) {
        rt::Form& form = process.form(which);
        for (const QWidget* w : QWidget::find(static_cast<WId>(form.peer()->handle()))->findChildren<QWidget*>()) {
            const auto* label = qobject_cast<const QLabel*>(w);
            const auto* button = qobject_cast<const QPushButton*>(w);
            if (label == nullptr && button == nullptr) continue;
            QStyleOptionButton option;
            option.initFrom(w);
            if (button != nullptr && button->isDefault()) option.features |= QStyleOptionButton::DefaultButton;
            const QString text = label ? label->text() : button->text();
            const QRect box =
                label ? w->contentsRect() : w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w);
            const int flags = label ? static_cast<int>(label->alignment()) | Qt::TextWordWrap : Qt::TextShowMnemonic;
            const QRect needed = w->fontMetrics().boundingRect(QRect(0, 0, box.width(), 10000), flags, text);
            EXPECT_TRUE(needed.width() <= box.width() && needed.height() <= box.height())
                << "[" << text.toStdString() << "] needs " << needed.width() << "x" << needed.height() << ", has "
                << box.width() << "x" << box.height();
            const QFontInfo font(w->font());
            EXPECT_EQ(font.family().toStdString() + " " + std::to_string(font.pixelSize()), face);
            if (button != nullptr && !text.contains('&')) {  // one line, no access key's underline
                const QRect inside = box.adjusted(2, 2, -2, -2);  // clear of a default button's frame
                QImage at_one(inside.size(), QImage::Format_RGB32);
                at_one.fill(Qt::white);
                QPainter painter(&at_one);
                painter.setFont(w->font());
                painter.drawText(at_one.rect(), Qt::AlignCenter, text);
                painter.end();
                EXPECT_NEAR(ink_height(const_cast<QWidget*>(w)->grab(inside).toImage()), ratio * ink_height(at_one), 1.5)
                    << "[" << text.toStdString() << "] is not drawn at the scale of " << ratio;
            }
            ++measured;
        }
        form.Unload();
    }
    EXPECT_GE(measured, 15);  // every window's labels and buttons were there to measure
}

}  // namespace
}  // namespace vellora::qt

// The Qt runtime's own parts: what a form shows pixel by pixel, a change of
// the screens reaching every form, picture files by format and the ones
// refused, the data files looked up the XDG way, the per-user store private
// to its owner, the desktop's lock setting as the password flag, and the
// captions of the program's windows in the font they are drawn in.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <cstdlib>
#include <fstream>

#include "app/process.h"
#include "platform/qt/support.h"
#include "runtime/app.h"
#include "runtime/form.h"
#include "settings/settings.h"
#include "startup/windows.h"
#include "support/picture_files.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

namespace fs = std::filesystem;
using vellora::testing::TempDir;

class Canvas : public rt::Form {
public:
    explicit Canvas(rt::App& app) : rt::Form(app, "Canvas") {
        design_.border = rt::BorderStyle::None;
        design_.back_color = rt::rgb(0, 0, 255);
        design_.width = design_.height = 6000;
    }
    rt::Image Image2{*this, "Image2"};
    rt::Image Image1{*this, "Image1"};  // declared after Image2: drawn over it
    rt::PictureBox Picture1{*this, "Picture1"};
    int display_changes = 0;

protected:
    void Form_DisplayChanged() override { ++display_changes; }
};

rt::Picture picture_of(const QImage& image) {
    auto picture = std::make_shared<rt::PictureData>();
    picture->himetric_width = pixels_to_himetric(image.width(), QtWindowSystem::dpi());
    picture->himetric_height = pixels_to_himetric(image.height(), QtWindowSystem::dpi());
    picture->image = std::make_shared<QtImage>(image);
    return picture;
}

struct QtForms : ::testing::Test {
    void settle() {
        bool done = false;
        QTimer::singleShot(20, [&done] { done = true; });
        platform.windows().run_until([&done] { return done; });
    }
    TempDir dir;
    QtPlatform platform{testing::options_in(dir.path())};
    rt::App app{platform};
};

TEST_F(QtForms, CirclesLieUnderTheImagesInTheirOrderAndSeeThroughPixelsShowWhatIsBeneath) {
    Canvas canvas(app);
    canvas.Show();
    const float tpp = QtWindowSystem::twips_per_pixel_x();
    const auto shot = [&](int x, int y) {
        settle();
        return QWidget::find(static_cast<WId>(canvas.peer()->handle()))->grab().toImage().pixelColor(x, y);
    };
    const auto square = [](QColor colour) {
        QImage image(20, 20, QImage::Format_ARGB32);
        image.fill(colour);
        return image;
    };
    canvas.Image2.Move(10 * tpp, 10 * tpp);
    canvas.Image2.SetPicture(picture_of(square(Qt::red)));
    canvas.Image1.Move(20 * tpp, 20 * tpp);
    canvas.Image1.SetPicture(picture_of(square(Qt::green)));
    canvas.SetFillColor(rt::rgb(255, 255, 0));
    canvas.Circle(100 * tpp, 100 * tpp, 10 * tpp, rt::rgb(255, 255, 0));
    canvas.Circle(15 * tpp, 15 * tpp, 4 * tpp, rt::rgb(255, 255, 0));
    EXPECT_EQ(shot(2, 2), QColor(0, 0, 255));
    EXPECT_EQ(shot(100, 100), QColor(255, 255, 0));
    EXPECT_EQ(shot(12, 12), QColor(255, 0, 0));
    EXPECT_EQ(shot(25, 25), QColor(0, 255, 0));
    QImage ring = square(Qt::transparent);  // see-through but for its top row
    for (int i = 0; i < 20; ++i) ring.setPixelColor(i, 0, Qt::white);
    canvas.Image1.SetPicture(picture_of(ring));
    EXPECT_EQ(shot(25, 25), QColor(255, 0, 0));
    EXPECT_EQ(shot(25, 20), QColor(255, 255, 255));
    EXPECT_EQ(shot(35, 35), QColor(0, 0, 255));
    canvas.Image2.Move(300 * tpp, 10 * tpp);  // moved away: the circle beneath shows
    EXPECT_EQ(shot(15, 15), QColor(255, 255, 0));
    canvas.Image1.SetPicture(picture_of(square(Qt::green)));
    canvas.Image1.SetStretch(true);
    canvas.Image1.Move(50 * tpp, 150 * tpp, 60 * tpp, 10 * tpp);
    EXPECT_EQ(shot(105, 155), QColor(0, 255, 0));
    canvas.Picture1.SetBackColor(rt::rgb(0, 0, 0));  // a picture box: its own layer over its back colour
    canvas.Picture1.Move(200 * tpp, 100 * tpp, 50 * tpp, 50 * tpp);
    canvas.Picture1.SetFillColor(rt::rgb(255, 0, 255));
    canvas.Picture1.Circle(25 * tpp, 25 * tpp, 5 * tpp, rt::rgb(255, 0, 255));
    EXPECT_EQ(shot(225, 125), QColor(255, 0, 255));
    EXPECT_EQ(shot(205, 105), QColor(0, 0, 0));
}

TEST_F(QtForms, AChangeOfTheScreensReachesEachFormOnce) {
    Canvas shown(app);
    Canvas hidden(app);
    shown.Show();
    hidden.Load();
    settle();
    QScreen* screen = QGuiApplication::primaryScreen();  // Qt tells one change as several signals
    Q_EMIT screen->geometryChanged(screen->geometry());
    Q_EMIT qGuiApp->primaryScreenChanged(screen);
    settle();
    EXPECT_EQ(shown.display_changes, 1);
    EXPECT_EQ(hidden.display_changes, 1);
}

TEST(QtPictures, EachFormatLoadsAtItsNaturalSizeKnownByItsContentAndBrokenOrHugeFilesAreRefused) {
    TempDir dir;
    QtPictureDecoder decoder{[] { return 96.0; }};
    const auto at = [&](const std::string& name) { return (dir.path() / name).string(); };
    const auto decoded = [&](const std::string& name) {
        const auto picture = decoder.decode(at(name));
        const QImage image = dynamic_cast<const QtImage&>(*picture->image).image();
        EXPECT_EQ(picture->himetric_width, pixels_to_himetric(image.width(), 96.0)) << name;
        return image;
    };
    const auto size_of = [&](const std::string& name, int w, int h, const char* format) {
        EXPECT_TRUE(QImage(w, h, QImage::Format_RGB32).save(QString::fromStdString(at(name)), format));
        return decoded(name).size();
    };
    EXPECT_EQ(size_of("p.bmp", 640, 480, "BMP"), QSize(640, 480));
    EXPECT_EQ(size_of("p.jpg", 300, 200, "JPEG"), QSize(300, 200));
    EXPECT_EQ(size_of("p.ico", 32, 32, "ICO"), QSize(32, 32));
    EXPECT_EQ(size_of("really-a-bmp.jpg", 20, 10, "BMP"), QSize(20, 10));
    if (std::system(("convert -size 150x100 xc:blue " + at("p.gif") + " 2>/dev/null").c_str()) == 0) {
        EXPECT_EQ(decoded("p.gif").size(), QSize(150, 100));
    }
    vellora::testing::write_file(at("p.wmf"), vellora::testing::wmf_bytes(1440, 720, 1440));  // 1 x 0.5 inch, red
    const QImage wmf = decoded("p.wmf");
    EXPECT_EQ(wmf.size(), QSize(96, 48));
    EXPECT_TRUE(wmf.pixelColor(48, 24).red() > 200 && wmf.pixelColor(48, 24).green() < 60);
    const std::string broken[][2] = {
        {"bad.bmp", std::string("BM") + std::string(60, '\x7F')},
        {"bad.gif", "GIF89a" + std::string(40, '\x01')},
        {"bad.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + std::string(40, '\x13')},
        {"bad.ico", std::string("\x00\x00\x01\x00\x01\x00", 6) + std::string(30, '\x55')},
        {"text.jpg", "just some text, not a picture\n"},
        {"empty.bmp", ""},
        {"bad.wmf", vellora::testing::wmf_bytes(1440, 720, 1440).substr(0, 30)},  // cut short after its headers
        {"huge.bmp", vellora::testing::bmp_bytes(20000, 20000, 0, false) + std::string(64, '\0')},  // not decoded
        {"huge.wmf", vellora::testing::wmf_bytes(30000, 30000, 100)},  // 300 x 300 inch
        {"large.wmf", vellora::testing::wmf_bytes(4300, 4300, 100)},   // 4128 pixels square: too many to draw
    };
    for (const auto& [name, bytes] : broken) {
        vellora::testing::write_file(at(name), bytes);
        EXPECT_THROW((void)decoder.decode(at(name)), rt::PictureError) << name;
    }
    EXPECT_THROW((void)decoder.decode(at("missing.bmp")), rt::PictureError);
    EXPECT_FALSE(decoder.identify(at("missing.bmp")).has_value());
    EXPECT_FALSE(decoder.identify(dir.path().string()).has_value());  // a folder is no picture file
}

TEST(QtDataFiles, TheUsersOwnFolderFirstThenEachSystemFolderInOrderForTheSparePictureAndTheHelp) {
    TempDir dir;
    const auto home = dir.path() / "home";
    const auto first = dir.path() / "first";
    const auto second = dir.path() / "second";
    ::unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(Paths::from_environment().system_data_dirs,
              (std::vector<fs::path>{"/usr/local/share/vellora", "/usr/share/vellora"}));
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (first.string() + "::relative/share:" + second.string()).c_str(), 1);  // 2 folders
    const auto p = Paths::from_environment();
    EXPECT_EQ(p.data_search_dirs(), (std::vector<fs::path>{home / "vellora", first / "vellora", second / "vellora"}));
    EXPECT_EQ(p.spare_picture(), home / "vellora" / "imgx.bmp");  // none anywhere: where the user's own goes
    const auto put = [](const fs::path& folder, const char* name) {
        fs::create_directories(folder / "vellora");
        std::ofstream(folder / "vellora" / name) << "x";
    };
    for (const auto& folder : {second, first, home}) {
        put(folder, "imgx.bmp");
        EXPECT_EQ(p.spare_picture(), folder / "vellora" / "imgx.bmp");
    }
    put(second, "vellora.hlp");  // the help file: the same order
    const Trace trace(dir.path() / "trace.log");
    HelpViewer(trace, p.data_search_dirs()).show("vellora.hlp");
    std::string line;
    std::getline(std::ifstream(dir.path() / "trace.log"), line);
    EXPECT_EQ(line, "help [vellora.hlp] from [" + (second / "vellora" / "vellora.hlp").string() + "]");
}

TEST(QtUserStore, PrivateToItsOwnerFromTheStartAndTightenedOnTheNextWrite) {
    TempDir dir;
    const auto mode_of = [](const fs::path& path) { return fs::status(path).permissions() & fs::perms::mask; };
    const auto old_mask = ::umask(022);
    const auto made = dir.path() / "config" / "vellora";  // new folders: each 0700, the file 0600
    ASSERT_TRUE(UserStoreFile(made / "user-store.ini").write("Samples", "Oskel Screen Saver", "Password", "SX"));
    EXPECT_EQ(mode_of(made / "user-store.ini"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(mode_of(made), fs::perms::owner_all);
    EXPECT_EQ(mode_of(dir.path() / "config"), fs::perms::owner_all);
    // An older store that everyone may read, in an open folder: the store is
    // tightened, the folder keeps its mode, the other entries stay.
    fs::create_directory(dir.path() / "open");  // 0755
    const auto old_store = dir.path() / "open" / "user-store.ini";
    std::ofstream(old_store) << "[Other\\Section]\nkey=kept\n";
    fs::permissions(old_store, fs::perms::group_read | fs::perms::others_read, fs::perm_options::add);
    UserStoreFile store(old_store);
    ASSERT_TRUE(store.write("Samples", "Oskel Screen Saver", "Password", "SX"));
    EXPECT_EQ(mode_of(old_store), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(mode_of(dir.path() / "open") & fs::perms::others_read, fs::perms::others_read);
    EXPECT_EQ(store.read("Other", "Section", "key", ""), "kept");
    EXPECT_EQ(::umask(old_mask), 022);  // the process's own mask is back as it was
}

TEST(QtLockSetting, FromXScreenSaverOrTheOverrideIsTheDesktopPasswordFlag) {
    EXPECT_EQ(xscreensaver_lock("timeout:\t0:10:00\nlock:\t\tTrue\n"), std::optional<bool>(true));
    EXPECT_EQ(xscreensaver_lock("lock:  False\n"), std::optional<bool>(false));
    EXPECT_EQ(xscreensaver_lock("lockTimeout: 0:00:00\n"), std::nullopt);
    TempDir dir;
    const auto rc = dir.path() / ".xscreensaver";
    std::ofstream(rc) << "mode: one\nlock: True\n";
    EXPECT_EQ(read_lock_setting({std::nullopt, rc, false, false}), true);
    EXPECT_EQ(read_lock_setting({false, rc, false, false}), false);
    EXPECT_EQ(read_lock_setting({true, rc, false, true}), false);  // never: a hack shows no prompt
    EXPECT_EQ(read_lock_setting({std::nullopt, dir.path() / "missing", false, false}), std::nullopt);
    const auto flag = [&](std::optional<bool> lock, bool hack) {  // the flag the saver reads
        Options o = testing::options_in(dir.path() / "elsewhere");
        o.lock_override = lock;
        if (hack) o.hack = HackTarget{0x400001};
        const Trace trace;
        QtServices services(o, trace, [] { return 96.0; });
        return settings::ReadDesktopPasswordFlag(services);
    };
    EXPECT_EQ((std::vector{flag(true, false), flag(false, false), flag(std::nullopt, false), flag(true, true)}),
              (std::vector<std::int16_t>{1, 0, 0, 0}));
}

// Every caption of the program's real windows shows its whole text, measured
// with the font the runtime draws it in: a label's text wrapped within its
// box, a button's caption inside its face, a title beside the window's buttons.
TEST(QtCaptions, EveryCaptionOfEveryWindowFitsItsDesignedBox) {
    vellora::testing::TempDir dir;
    QtPlatform platform(testing::options_in(dir.path()));
    Process process(platform, make_window);

    int measured = 0;
    const auto check = [&measured](const std::string& what, const QString& text, const QFont& font, QRect needed,
                                   QRect box) {
        ++measured;
        if (needed.width() <= box.width() && needed.height() <= box.height()) return;
        ADD_FAILURE() << "cut caption: " << what << " [" << text.toStdString() << "] in "
                      << QFontInfo(font).family().toStdString() << " " << QFontInfo(font).pixelSize() << " px needs "
                      << needed.width() << "x" << needed.height() << ", its box is " << box.width() << "x"
                      << box.height();
    };
    for (const Window which :
         {Window::MainForm, Window::ControlForm, Window::Configuration, Window::PassChange, Window::PassCheck}) {
        rt::Form& form = process.form(which);
        QWidget* window = QWidget::find(static_cast<WId>(form.peer()->handle()));
        ASSERT_NE(window, nullptr) << form.name();
        const std::string where = form.name() + ".";
        for (const QLabel* label : window->findChildren<QLabel*>()) {  // wrapped at the box's width, as drawn
            if (label->text().isEmpty()) continue;
            const QRect box = label->contentsRect();
            const auto flags = static_cast<int>(label->alignment()) | Qt::TextWordWrap;
            check(where + label->objectName().toStdString(), label->text(), label->font(),
                  QFontMetrics(label->font()).boundingRect(QRect(0, 0, box.width(), 10000), flags, label->text()), box);
        }
        for (const QPushButton* button : window->findChildren<QPushButton*>()) {  // one line inside the face
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect face = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            check(where + button->objectName().toStdString(), button->text(), button->font(),
                  QFontMetrics(button->font()).boundingRect(face, Qt::AlignCenter | Qt::TextShowMnemonic, button->text()),
                  face);
        }
        // The title bar less the window's icon and buttons (close, and
        // minimize on a fixed single window), 18 pixels each.
        if (form.design().border != rt::BorderStyle::None && !form.Caption().empty()) {
            QFont title = window->font();
            title.setBold(true);
            const int buttons = form.design().border == rt::BorderStyle::FixedSingle ? 3 : 2;
            const QString text = QString::fromStdString(form.Caption());
            const QRect needed = QFontMetrics(title).boundingRect(text);
            check(where + "Caption", text, title, QRect(0, 0, needed.width(), 0),
                  QRect(0, 0, window->width() - buttons * 18, form.peer()->frame().top));
        }
        form.Unload();
    }
    EXPECT_GE(measured, 17);  // every window's labels, buttons and titles were there to measure
}

}  // namespace
}  // namespace vellora::qt

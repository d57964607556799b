// The runtime contract on the Qt runtime (offscreen): windows and controls,
// keys through real Qt key events, the nested modal loop with timers ticking,
// drawing, the cursor counter, the dialogs and the failure boundary.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/qt/pictures.h"
#include "platform/qt/platform.h"
#include "runtime/app.h"
#include "runtime/form.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

class Dialog : public rt::Form {
public:
    explicit Dialog(rt::App& app) : rt::Form(app, "Dialog") {
        design_.caption = "Test Dialog";
        design_.border = rt::BorderStyle::FixedDialog;
        design_.client_width = 4800;
        design_.client_height = 3000;
        Label1.SetCaption("&Name:");
        Label1.Move(120, 120, 1200, 240);
        Text1.Move(1440, 120, 2400, 300);
        Text1.SetPasswordChar('*');
        Text1.on_change = [this] { ++changes; };
        OK.SetCaption("&OK");
        OK.Move(120, 2000, 1200, 400);
        OK.SetDefault(true);
        OK.on_click = [this] { ++ok_clicks; };
        Cancel.SetCaption("Cancel");
        Cancel.Move(1800, 2000, 1200, 400);
        Cancel.SetCancel(true);
        Cancel.on_click = [this] { ++cancel_clicks; };
    }
    int changes = 0, ok_clicks = 0, cancel_clicks = 0, refuse_close = 0;
    rt::Label Label1{*this, "Label1"};
    rt::TextBox Text1{*this, "Text1"};
    rt::CommandButton OK{*this, "OK"};
    rt::CommandButton Cancel{*this, "Cancel"};

protected:
    void Form_QueryUnload(std::int16_t& cancel, std::int16_t mode) override {
        if (mode == static_cast<std::int16_t>(rt::UnloadMode::ControlMenu) && refuse_close-- > 0) cancel = -1;
    }
};

class Canvas : public rt::Form {
public:
    explicit Canvas(rt::App& app) : rt::Form(app, "Canvas") {
        design_.border = rt::BorderStyle::None;
        design_.back_color = rt::rgb(0, 0, 255);
        design_.width = 6000;
        design_.height = 4500;
        Timer1.SetInterval(20);
        Timer1.on_timer = [this] { ++ticks; };
    }
    int ticks = 0, key_downs = 0, mouse_moves = 0, display_changes = 0;
    rt::Image Image2{*this, "Image2"};
    rt::Image Image1{*this, "Image1"};
    rt::PictureBox Picture1{*this, "Picture1"};
    rt::Timer Timer1{*this, "Timer1"};

protected:
    void Form_KeyDown(std::int16_t /*key*/, std::int16_t /*shift*/) override { ++key_downs; }
    void Form_MouseMove(std::int16_t, std::int16_t, float, float) override { ++mouse_moves; }
    void Form_DisplayChanged() override { ++display_changes; }
};

class QtFormsTest : public ::testing::Test {
protected:
    QtFormsTest() {
        Options o;
        o.paths.config_dir = dir.path() / "config";
        o.paths.data_dir = dir.path() / "data";
        o.paths.runtime_dir = o.paths.home = dir.path();
        o.ask_gsettings = false;
        platform = std::make_unique<QtPlatform>(o);
        app = std::make_unique<rt::App>(*platform);
    }
    static QWidget* widget_of(rt::Form& form) { return QWidget::find(static_cast<WId>(form.peer()->handle())); }
    template <typename W>
    static W* child(rt::Form& form, const char* name) {
        return widget_of(form)->findChild<W*>(name);
    }
    static int px(float twips) { return rt::twips_to_pixels(twips, QtWindowSystem::twips_per_pixel_x()); }
    // Lets Qt deliver what is pending (paints, posted calls).
    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    testing::TempDir dir;
    std::unique_ptr<QtPlatform> platform;
    std::unique_ptr<rt::App> app;
};

TEST_F(QtFormsTest, FormsAndControlsArePlacedInPixelsFromTwips) {
    Dialog d(*app);
    d.Show();
    settle();
    EXPECT_EQ(widget_of(d)->width(), px(4800));  // the inner area is the designed one
    EXPECT_NEAR(d.ScaleWidth(), 4800.0F, QtWindowSystem::twips_per_pixel_x());
    EXPECT_EQ(widget_of(d)->windowTitle(), QString("Test Dialog"));
    EXPECT_EQ(child<QLineEdit>(d, "Text1")->geometry(), QRect(px(1440), px(120), px(2400), px(300)));
    EXPECT_EQ(child<QLabel>(d, "Label1")->text(), QString("Name:"));
    EXPECT_EQ(widget_of(d)->font().pointSizeF(), 8.25);
    d.OK.Move(240, 2100);
    EXPECT_EQ(child<QPushButton>(d, "OK")->pos(), QPoint(px(240), 140));
    d.Unload();
}

TEST_F(QtFormsTest, KeysAreHandledOnceByTheRuntime) {
    Dialog d(*app);
    d.Show();
    auto* text = child<QLineEdit>(d, "Text1");
    auto* ok = child<QPushButton>(d, "OK");
    d.Text1.SetFocus();
    settle();
    QTest::keyClicks(text, "abc");
    EXPECT_EQ(d.Text1.Text(), "abc");
    EXPECT_EQ(d.changes, 3);
    EXPECT_EQ(text->displayText(), QString("***"));
    QTest::keyClick(text, Qt::Key_Backspace);
    EXPECT_EQ(d.Text1.Text(), "ab");
    d.Text1.SetText("");  // the program's text reaches the box
    EXPECT_EQ(text->text(), QString(""));
    QTest::keyClick(text, Qt::Key_Return);  // the default button, once
    EXPECT_EQ(d.ok_clicks, 1);
    QTest::keyClick(text, Qt::Key_Escape);  // the cancel button
    EXPECT_EQ(d.cancel_clicks, 1);
    QTest::keyClick(text, Qt::Key_O, Qt::AltModifier);  // OK's access key: one click, no "o" typed
    EXPECT_EQ(d.ok_clicks, 2);
    EXPECT_EQ(d.Text1.Text(), "");
    d.Text1.SetFocus();
    QTest::keyClick(text, Qt::Key_Tab);
    EXPECT_EQ(d.ActiveControl(), &d.OK);
    QTest::keyClick(ok, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(d.ActiveControl(), &d.Text1);
    d.OK.SetFocus();
    QTest::keyClick(ok, Qt::Key_Space);
    EXPECT_EQ(d.ok_clicks, 3);
    d.Text1.SetFocus();
    QTest::mouseClick(child<QPushButton>(d, "Cancel"), Qt::LeftButton);  // pressed, and focused
    EXPECT_EQ(d.cancel_clicks, 2);
    EXPECT_EQ(d.ActiveControl(), &d.Cancel);
    app->SendKey(rt::keys::Escape);  // handled before SendKey returns
    EXPECT_EQ(d.cancel_clicks, 3);
    d.Unload();
}

TEST_F(QtFormsTest, ModalShowBlocksOtherFormsWhileTheirTimersTick) {
    Canvas canvas(*app);
    canvas.Show();
    Dialog d(*app);
    int ticks_while_modal = -1;
    bool canvas_blocked = false;
    d.OK.on_click = [&] {
        ticks_while_modal = canvas.ticks;
        canvas_blocked = !canvas.input_enabled();
        QTest::keyClick(widget_of(canvas), Qt::Key_A);  // goes nowhere
        d.Unload();
    };
    QTimer::singleShot(200, [&] { d.OK.Click(); });
    const int before = canvas.ticks;
    d.Show(true);  // returns once the dialog has unloaded
    EXPECT_FALSE(d.loaded());
    EXPECT_GT(ticks_while_modal, before + 2);
    EXPECT_TRUE(canvas_blocked);
    EXPECT_EQ(canvas.key_downs, 0);
    settle();
    QTest::keyClick(widget_of(canvas), Qt::Key_A);
    EXPECT_EQ(canvas.key_downs, 1);
    QWidget* client = widget_of(canvas)->childAt(5, 5);  // mouse moves reach the form over its parts
    ASSERT_NE(client, nullptr);
    QTest::mouseMove(client, QPoint(30, 30));
    QTest::mouseMove(client, QPoint(40, 40));
    EXPECT_GE(canvas.mouse_moves, 1);
    canvas.Unload();
}

TEST_F(QtFormsTest, TheCloseCommandAsksTheFormAndAButtonMayUnloadItsOwnForm) {
    Dialog d(*app);
    d.refuse_close = 1;
    d.Show();
    settle();
    widget_of(d)->close();
    EXPECT_TRUE(d.loaded());  // refused: the window stays
    widget_of(d)->close();
    EXPECT_FALSE(d.loaded());

    d.OK.on_click = [&] { d.Unload(); };
    d.Show();
    settle();
    QTest::mouseClick(child<QPushButton>(d, "OK"), Qt::LeftButton);
    EXPECT_FALSE(d.loaded());
    bool done = false;  // the dead widgets are deleted between events
    QTimer::singleShot(10, [&done] { done = true; });
    platform->windows().run_until([&done] { return done; });
    d.Show();  // loading again gives a fresh window
    EXPECT_NE(widget_of(d), nullptr);
    d.Unload();
}

TEST_F(QtFormsTest, CirclesPicturesAndBackColourAreDrawnInLayers) {
    Canvas canvas(*app);
    canvas.Show();
    const float tpp = QtWindowSystem::twips_per_pixel_x();
    const auto square = [&](QColor colour) {
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(colour);
        auto picture = std::make_shared<rt::PictureData>();
        picture->himetric_width = picture->himetric_height = pixels_to_himetric(20, QtWindowSystem::dpi());
        picture->image = std::make_shared<QtImage>(image);
        return picture;
    };
    const auto shot = [&](int x, int y) {
        settle();
        return widget_of(canvas)->grab().toImage().pixelColor(x, y);
    };
    canvas.Image2.Move(10 * tpp, 10 * tpp);
    canvas.Image2.SetPicture(square(Qt::red));
    canvas.Image1.Move(20 * tpp, 20 * tpp);  // declared after Image2: drawn over it
    canvas.Image1.SetPicture(square(Qt::green));
    EXPECT_NEAR(canvas.Image1.Width(), 20 * tpp, 0.01);
    canvas.SetFillColor(rt::rgb(255, 255, 0));  // filled circles on the form's layer, under the pictures
    canvas.Circle(100 * tpp, 100 * tpp, 10 * tpp, rt::rgb(255, 255, 0));
    canvas.Circle(15 * tpp, 15 * tpp, 4 * tpp, rt::rgb(255, 255, 0));
    EXPECT_EQ(shot(2, 2), QColor(0, 0, 255));
    EXPECT_EQ(shot(100, 100), QColor(255, 255, 0));
    EXPECT_EQ(shot(12, 12), QColor(255, 0, 0));
    EXPECT_EQ(shot(25, 25), QColor(0, 255, 0));
    EXPECT_EQ(shot(35, 35), QColor(0, 255, 0));
    // A picture with see-through pixels over an opaque one lets it show.
    QImage ring(20, 20, QImage::Format_ARGB32);
    ring.fill(Qt::transparent);
    for (int i = 0; i < 20; ++i) ring.setPixelColor(i, 0, Qt::white);
    auto see_through = square(Qt::white);
    see_through->image = std::make_shared<QtImage>(ring);
    canvas.Image1.SetPicture(see_through);
    EXPECT_EQ(shot(25, 25), QColor(255, 0, 0));
    EXPECT_EQ(shot(25, 20), QColor(255, 255, 255));
    EXPECT_EQ(shot(35, 35), QColor(0, 0, 255));
    canvas.Image1.SetPicture(square(Qt::green));
    canvas.Image2.Move(300 * tpp, 10 * tpp);  // moved away: the circle beneath shows
    EXPECT_EQ(shot(15, 15), QColor(255, 255, 0));
    canvas.Image1.SetStretch(true);
    canvas.Image1.Move(50 * tpp, 150 * tpp, 60 * tpp, 10 * tpp);
    EXPECT_EQ(shot(105, 155), QColor(0, 255, 0));
    // A picture box keeps its own drawing layer over its back colour.
    canvas.Picture1.SetBackColor(rt::rgb(0, 0, 0));
    canvas.Picture1.Move(200 * tpp, 100 * tpp, 50 * tpp, 50 * tpp);
    canvas.Picture1.SetFillColor(rt::rgb(255, 0, 255));
    canvas.Picture1.Circle(25 * tpp, 25 * tpp, 5 * tpp, rt::rgb(255, 0, 255));
    EXPECT_EQ(shot(225, 125), QColor(255, 0, 255));
    EXPECT_EQ(shot(205, 105), QColor(0, 0, 0));
    canvas.Unload();
}

TEST_F(QtFormsTest, AHandlerThatThrowsDropsItsEventIsReportedAndTheProgramGoesOn) {
    Canvas canvas(*app);
    canvas.Timer1.on_timer = [&canvas] {
        if (++canvas.ticks == 1) throw std::runtime_error("the first tick failed");
    };
    Dialog d(*app);
    d.OK.on_click = [] { throw std::runtime_error("the click failed"); };
    canvas.Show();
    d.Show();
    settle();
    ::testing::internal::CaptureStderr();
    QTest::mouseClick(child<QPushButton>(d, "OK"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(d, "Cancel"), Qt::LeftButton);
    bool done = false;
    QTimer::singleShot(200, [&done] { done = true; });
    platform->windows().run_until([&done] { return done; });
    const std::string reported = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(d.cancel_clicks, 1);
    EXPECT_GT(canvas.ticks, 2);
    EXPECT_NE(reported.find("the click failed"), std::string::npos) << reported;
    EXPECT_NE(reported.find("the first tick failed"), std::string::npos) << reported;
    EXPECT_EQ(platform->windows().loop_depth(), 0);
    d.Unload();
    canvas.Unload();
}

TEST_F(QtFormsTest, CursorCounterHidesThePointerBelowZeroAndForeignWindowsNeedADisplay) {
    EXPECT_EQ(platform->services().show_cursor(false), -1);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    EXPECT_EQ(platform->services().show_cursor(false), -2);
    EXPECT_EQ(platform->services().show_cursor(true), -1);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(platform->services().show_cursor(true), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(platform->services().show_cursor(true), 1);

    EXPECT_FALSE(platform->windows().is_window(0x400001));
    EXPECT_FALSE(platform->windows().client_rect(0x400001).has_value());
    EXPECT_FALSE(platform->windows().window_rect(0x400001).has_value());
    Canvas canvas(*app);
    canvas.Load();
    EXPECT_FALSE(canvas.Picture1.SetParent(0x400001));
    canvas.Unload();
}

TEST_F(QtFormsTest, AChangeOfTheScreensReachesEachFormOnce) {
    Canvas shown(*app);
    Canvas hidden(*app);
    shown.Show();
    hidden.Load();
    settle();
    // Qt tells one change of the monitors as several signals.
    QScreen* screen = QGuiApplication::primaryScreen();
    Q_EMIT screen->geometryChanged(screen->geometry());
    Q_EMIT qGuiApp->primaryScreenChanged(screen);
    settle();
    EXPECT_EQ(shown.display_changes, 1);
    EXPECT_EQ(hidden.display_changes, 1);
    shown.Unload();
    hidden.Unload();
}

// Runs `check` on the application's modal dialog as soon as it is open.
template <typename Dialog, typename Check>
void on_modal(Check check) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, check] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            auto* dialog = qobject_cast<Dialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            check(dialog);
        }
    });
    timer->start(10);
}

TEST_F(QtFormsTest, DialogsShowWhatTheyAreGivenAndReportTheChoiceOrNothing) {
    on_modal<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), QString("Change Password"));
        EXPECT_EQ(box->text(), QString("Incorrect password;\n\nCheck your screen saver password and try again."));
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->buttons().size(), 1);
        box->accept();
    });
    platform->dialogs().message_box({"Incorrect password;\r\n\r\nCheck your screen saver password and try again.", "Change Password",
                           rt::MessageIcon::Stop});

    on_modal<QColorDialog>([](QColorDialog* dialog) {
        EXPECT_EQ(dialog->currentColor(), QColor(255, 0, 0));
        dialog->setCurrentColor(QColor(0, 255, 0));
        dialog->accept();
    });
    EXPECT_EQ(platform->dialogs().choose_color({rt::rgb(255, 0, 0), true}), std::optional<rt::Color>(rt::rgb(0, 255, 0)));
    on_modal<QDialog>([](QDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(platform->dialogs().choose_color({rt::rgb(255, 0, 0), true}), std::nullopt);

    const std::string filter = "All Files (*.*)|*.*|BMPs(*.bmp)|*.bmp|GIFs(*.Gif)|*.Gif";
    const auto file = (dir.path() / "chosen.bmp").string();
    on_modal<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->nameFilters().size(), 3);
        EXPECT_EQ(dialog->selectedNameFilter(), dialog->nameFilters().value(2));
        // Typed as a user would: selectFile() leaves the name box alone
        // once it has the focus, which it gets at some moment of its own.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(file));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(platform->dialogs().open_file({filter, 3, true, ""}), std::optional<std::string>(file));
    on_modal<QDialog>([](QDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(platform->dialogs().open_file({filter, 3, false, ""}), std::nullopt);

    std::ofstream(dir.path() / "vellora.hlp") << "Vellora help text\n";
    platform->services().show_help((dir.path() / "vellora.hlp").string());
    QPlainTextEdit* view = nullptr;
    for (auto* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->findChild<QPlainTextEdit*>("help_text") != nullptr) view = w->findChild<QPlainTextEdit*>("help_text");
    }
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->toPlainText(), QString("Vellora help text\n"));
    platform->services().show_help((dir.path() / "nowhere.hlp").string());
    EXPECT_TRUE(view->toPlainText().contains("could not be found"));
}

}  // namespace
}  // namespace vellora::qt

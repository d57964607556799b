// The runtime contract on the Qt runtime (offscreen): windows and controls,
// keys through real Qt key events, the nested modal loop with timers ticking,
// drawing, the cursor counter and the dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "platform/qt/qt_platform.h"
#include "runtime/app.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

class Dialog : public rt::Form {
public:
    explicit Dialog(rt::App& app, std::string name = "Dialog") : rt::Form(app, std::move(name)) {
        design_.caption = "Test Dialog";
        design_.border = rt::BorderStyle::FixedDialog;
        design_.client_width = 4800;
        design_.client_height = 3000;
        Label1.SetCaption("&Name:");
        Label1.Move(120, 120, 1200, 240);
        Label1.SetTabIndex(0);
        Text1.Move(1440, 120, 2400, 300);
        Text1.SetTabIndex(1);
        Text1.SetPasswordChar('*');
        Text1.on_change = [this] { ++changes; };
        OK.SetCaption("&OK");
        OK.Move(120, 2000, 1200, 400);
        OK.SetTabIndex(2);
        OK.SetDefault(true);
        OK.on_click = [this] { ++ok_clicks; };
        Cancel.SetCaption("Cancel");
        Cancel.Move(1800, 2000, 1200, 400);
        Cancel.SetTabIndex(3);
        Cancel.SetCancel(true);
        Cancel.on_click = [this] { ++cancel_clicks; };
    }
    int changes = 0;
    int ok_clicks = 0;
    int cancel_clicks = 0;
    int keys = 0;
    int refuse_close = 0;
    rt::Label Label1{*this, "Label1"};
    rt::TextBox Text1{*this, "Text1"};
    rt::CommandButton OK{*this, "OK"};
    rt::CommandButton Cancel{*this, "Cancel"};

protected:
    void Form_QueryUnload(std::int16_t& cancel, std::int16_t mode) override {
        if (mode == static_cast<std::int16_t>(rt::UnloadMode::ControlMenu) && refuse_close > 0) {
            --refuse_close;
            cancel = -1;
        }
    }
};

class Canvas : public rt::Form {
public:
    explicit Canvas(rt::App& app) : rt::Form(app, "Canvas") {
        design_.caption = "Canvas";
        design_.border = rt::BorderStyle::None;
        design_.back_color = rt::rgb(0, 0, 255);
        design_.width = 6000;
        design_.height = 4500;
        Timer1.SetInterval(20);
        Timer1.on_timer = [this] { ++ticks; };
    }
    int ticks = 0;
    int key_downs = 0;
    int mouse_moves = 0;
    rt::Image Image2{*this, "Image2"};
    rt::Image Image1{*this, "Image1"};
    rt::PictureBox Picture1{*this, "Picture1"};
    rt::Timer Timer1{*this, "Timer1"};

protected:
    void Form_KeyDown(std::int16_t /*key*/, std::int16_t /*shift*/) override { ++key_downs; }
    void Form_MouseMove(std::int16_t, std::int16_t, float, float) override { ++mouse_moves; }
};

class QtFormsTest : public ::testing::Test {
protected:
    QtFormsTest() {
        Options o;
        o.paths.config_dir = dir.path() / "config";
        o.paths.data_dir = dir.path() / "data";
        o.paths.runtime_dir = dir.path();
        o.paths.home = dir.path();
        o.ask_gsettings = false;
        platform = std::make_unique<QtPlatform>(o);
        app = std::make_unique<rt::App>(*platform);
    }
    static QWidget* widget_of(rt::Form& form) { return QWidget::find(static_cast<WId>(form.peer()->handle())); }
    // Lets Qt deliver what is pending (paints, posted calls).
    void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    // Runs the runtime's loop for a while, with a timer to end it.
    void run_for(int ms) {
        bool done = false;
        QTimer::singleShot(ms, [&done] { done = true; });
        platform->run_until([&done] { return done; });
    }
    testing::TempDir dir;
    std::unique_ptr<QtPlatform> platform;
    std::unique_ptr<rt::App> app;
};

TEST_F(QtFormsTest, FormsAndControlsArePlacedInPixelsFromTwips) {
    Dialog d(*app);
    d.Show();
    QWidget* w = widget_of(d);
    ASSERT_NE(w, nullptr);
    settle();
    const float tpp = platform->twips_per_pixel_x();
    // The inner area is the designed one; the outer size adds the frame.
    EXPECT_EQ(w->width(), static_cast<int>(std::lround(4800 / tpp)));
    EXPECT_NEAR(d.ScaleWidth(), 4800.0F, tpp);
    EXPECT_EQ(w->windowTitle(), QString("Test Dialog"));
    auto* text = w->findChild<QLineEdit*>("Text1");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->geometry(), QRect(static_cast<int>(std::lround(1440 / tpp)), static_cast<int>(std::lround(120 / tpp)),
                                      static_cast<int>(std::lround(2400 / tpp)), static_cast<int>(std::lround(300 / tpp))));
    auto* label = w->findChild<QLabel*>("Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString("Name:"));
    EXPECT_EQ(w->font().pointSizeF(), 8.25);
    d.OK.Move(240, 2100);
    EXPECT_EQ(w->findChild<QPushButton*>("OK")->pos(), QPoint(static_cast<int>(std::lround(240 / tpp)), 140));
    d.Unload();
}

TEST_F(QtFormsTest, TypingGoesToTheTextBoxMaskedWithStars) {
    Dialog d(*app);
    d.Show();
    QWidget* w = widget_of(d);
    auto* text = w->findChild<QLineEdit*>("Text1");
    d.Text1.SetFocus();
    settle();
    QTest::keyClicks(text, "abc");
    EXPECT_EQ(d.Text1.Text(), "abc");
    EXPECT_EQ(d.changes, 3);
    EXPECT_EQ(text->displayText(), QString("***"));
    QTest::keyClick(text, Qt::Key_Backspace);
    EXPECT_EQ(d.Text1.Text(), "ab");
    // The program sets the text: the box shows it, masked.
    d.Text1.SetText("");
    EXPECT_EQ(text->text(), QString(""));
    d.Unload();
}

TEST_F(QtFormsTest, KeysAreHandledOnceByTheRuntime) {
    Dialog d(*app);
    d.Show();
    QWidget* w = widget_of(d);
    auto* text = w->findChild<QLineEdit*>("Text1");
    auto* ok = w->findChild<QPushButton*>("OK");
    d.Text1.SetFocus();
    settle();
    // Enter in the text box presses the default button once.
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(d.ok_clicks, 1);
    // Esc presses the cancel button.
    QTest::keyClick(text, Qt::Key_Escape);
    EXPECT_EQ(d.cancel_clicks, 1);
    // Alt+O is the OK button's access key: one click, not two.
    QTest::keyClick(text, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(d.ok_clicks, 2);
    EXPECT_EQ(d.Text1.Text(), "");  // and no "o" typed
    // Tab moves the focus in tab order, Shift+Tab back.
    d.Text1.SetFocus();
    QTest::keyClick(text, Qt::Key_Tab);
    EXPECT_EQ(d.ActiveControl(), &d.OK);
    QTest::keyClick(ok, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(d.ActiveControl(), &d.Text1);
    // Space on a focused button presses it once.
    d.OK.SetFocus();
    QTest::keyClick(ok, Qt::Key_Space);
    EXPECT_EQ(d.ok_clicks, 3);
    // A mouse click presses it too, and moves the focus there.
    d.Text1.SetFocus();
    QTest::mouseClick(w->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
    EXPECT_EQ(d.cancel_clicks, 2);
    EXPECT_EQ(d.ActiveControl(), &d.Cancel);
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
        // A key to the blocked form goes nowhere.
        QTest::keyClick(widget_of(canvas), Qt::Key_A);
        d.Unload();
    };
    // The user presses OK after a while; meanwhile the canvas timer goes on.
    QTimer::singleShot(200, [&] { d.OK.Click(); });
    const int before = canvas.ticks;
    d.Show(true);  // returns once the dialog has unloaded
    EXPECT_FALSE(d.loaded());
    EXPECT_GT(ticks_while_modal, before + 2);
    EXPECT_TRUE(canvas_blocked);
    EXPECT_EQ(canvas.key_downs, 0);
    EXPECT_TRUE(canvas.input_enabled());
    settle();
    QTest::keyClick(widget_of(canvas), Qt::Key_A);
    EXPECT_EQ(canvas.key_downs, 1);
    canvas.Unload();
}

TEST_F(QtFormsTest, UnloadingInsideTheButtonsOwnClickIsSafe) {
    Dialog d(*app);
    d.OK.on_click = [&] { d.Unload(); };
    d.Show();
    settle();
    QTest::mouseClick(widget_of(d)->findChild<QPushButton*>("OK"), Qt::LeftButton);
    EXPECT_FALSE(d.loaded());
    run_for(10);  // the dead widgets are deleted between events
    // Loading again gives a fresh window.
    d.Show();
    EXPECT_NE(widget_of(d), nullptr);
    d.Unload();
}

TEST_F(QtFormsTest, TheCloseCommandAsksTheForm) {
    Dialog d(*app);
    d.refuse_close = 1;
    d.Show();
    settle();
    widget_of(d)->close();
    EXPECT_TRUE(d.loaded());  // refused: the window stays
    widget_of(d)->close();
    EXPECT_FALSE(d.loaded());
}

TEST_F(QtFormsTest, CirclesPicturesAndBackColourAreDrawnInLayers) {
    Canvas canvas(*app);
    canvas.Show();
    QWidget* w = widget_of(canvas);
    const float tpp = platform->twips_per_pixel_x();
    // Two pictures: Image1 (declared after Image2) is drawn over it.
    const auto red = std::make_shared<rt::PictureData>();
    QImage r(20, 20, QImage::Format_RGB32);
    r.fill(QColor(255, 0, 0));
    red->himetric_width = red->himetric_height = pixels_to_himetric(20, platform->dpi());
    red->image = std::make_shared<QtImage>(r);
    const auto green = std::make_shared<rt::PictureData>();
    QImage g(20, 20, QImage::Format_RGB32);
    g.fill(QColor(0, 255, 0));
    green->himetric_width = green->himetric_height = pixels_to_himetric(20, platform->dpi());
    green->image = std::make_shared<QtImage>(g);
    canvas.Image2.Move(10 * tpp, 10 * tpp);
    canvas.Image2.SetPicture(red);
    canvas.Image1.Move(20 * tpp, 20 * tpp);
    canvas.Image1.SetPicture(green);
    EXPECT_NEAR(canvas.Image1.Width(), 20 * tpp, 0.01);
    // A filled circle on the form's layer, under the pictures.
    canvas.SetFillColor(rt::rgb(255, 255, 0));
    canvas.Circle(100 * tpp, 100 * tpp, 10 * tpp, rt::rgb(255, 255, 0));
    canvas.Circle(15 * tpp, 15 * tpp, 4 * tpp, rt::rgb(255, 255, 0));  // hidden under Image2
    settle();
    const QImage shot = w->grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(0, 0, 255));         // back colour
    EXPECT_EQ(shot.pixelColor(100, 100), QColor(255, 255, 0));   // the disc is filled
    EXPECT_EQ(shot.pixelColor(12, 12), QColor(255, 0, 0));       // Image2
    EXPECT_EQ(shot.pixelColor(25, 25), QColor(0, 255, 0));       // Image1 over Image2
    EXPECT_EQ(shot.pixelColor(35, 35), QColor(0, 255, 0));
    // Moving a picture away uncovers the circles beneath it.
    canvas.Image2.Move(300 * tpp, 10 * tpp);
    settle();
    EXPECT_EQ(w->grab().toImage().pixelColor(15, 15), QColor(255, 255, 0));
    // Stretched, the picture fills its box.
    canvas.Image1.SetStretch(true);
    canvas.Image1.Move(50 * tpp, 150 * tpp, 60 * tpp, 10 * tpp);
    settle();
    EXPECT_EQ(w->grab().toImage().pixelColor(105, 155), QColor(0, 255, 0));
    // A picture box keeps its own drawing layer over its back colour.
    canvas.Picture1.SetBackColor(rt::rgb(0, 0, 0));
    canvas.Picture1.Move(200 * tpp, 100 * tpp, 50 * tpp, 50 * tpp);
    canvas.Picture1.SetFillColor(rt::rgb(255, 0, 255));
    canvas.Picture1.Circle(25 * tpp, 25 * tpp, 5 * tpp, rt::rgb(255, 0, 255));
    settle();
    const QImage box = w->grab().toImage();
    EXPECT_EQ(box.pixelColor(225, 125), QColor(255, 0, 255));
    EXPECT_EQ(box.pixelColor(205, 105), QColor(0, 0, 0));
    canvas.Unload();
}

TEST_F(QtFormsTest, CursorCounterHidesThePointerBelowZero) {
    EXPECT_EQ(platform->show_cursor(false), -1);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    EXPECT_EQ(platform->show_cursor(false), -2);
    EXPECT_EQ(platform->show_cursor(true), -1);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(platform->show_cursor(true), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(platform->show_cursor(true), 1);
}

TEST_F(QtFormsTest, SentKeysAreHandledBeforeSendKeyReturns) {
    Canvas canvas(*app);
    canvas.Show();
    app->SendKey(rt::keys::Enter);
    EXPECT_EQ(canvas.key_downs, 1);
    canvas.Unload();
}

// Runs `check` on the application's modal dialog as soon as it is open.
template <typename Check>
void on_modal(Check check) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, check] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            check(modal);
        }
    });
    timer->start(10);
}

TEST_F(QtFormsTest, MessageBoxHasTheStopIconOneButtonAndTheExactTexts) {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    on_modal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        box->accept();
    });
    platform->message_box({"Incorrect password;\r\n\r\nCheck your screen saver password and try again.", "Change Password",
                           rt::MessageIcon::Stop});
    EXPECT_EQ(title, QString("Change Password"));
    EXPECT_EQ(text, QString("Incorrect password;\n\nCheck your screen saver password and try again."));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 1);
}

TEST_F(QtFormsTest, ColourDialogOpensOnTheCurrentColourAndReportsTheChoice) {
    QColor shown;
    on_modal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        shown = dialog->currentColor();
        dialog->setCurrentColor(QColor(0, 255, 0));
        dialog->accept();
    });
    const auto chosen = platform->choose_color({rt::rgb(255, 0, 0), rt::CC_RGBINIT});
    EXPECT_EQ(shown, QColor(255, 0, 0));
    EXPECT_EQ(chosen, std::optional<rt::Color>(rt::rgb(0, 255, 0)));
    on_modal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(platform->choose_color({rt::rgb(255, 0, 0), rt::CC_RGBINIT}), std::nullopt);
}

TEST_F(QtFormsTest, FileDialogShowsTheFiltersWithTheChosenOneSelected) {
    const std::string filter = "All Files (*.*)|*.*|BMPs(*.bmp)|*.bmp|GIFs(*.Gif)|*.Gif";
    QStringList filters;
    QString selected;
    const auto file = (dir.path() / "chosen.bmp").string();
    on_modal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        selected = dialog->selectedNameFilter();
        dialog->selectFile(QString::fromStdString(file));
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = platform->open_file({filter, 3, rt::OFN_HIDEREADONLY, ""});
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(selected, filters.at(2));
    EXPECT_EQ(chosen, std::optional<std::string>(file));
    on_modal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(platform->open_file({filter, 3, 0, ""}), std::nullopt);
}

TEST_F(QtFormsTest, HelpViewerShowsTheFileOrSaysItIsMissing) {
    const auto help = dir.path() / "vellora.hlp";
    std::ofstream(help) << "Vellora help text\n";
    platform->show_help(help.string());
    QPlainTextEdit* view = nullptr;
    for (auto* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->findChild<QPlainTextEdit*>("help_text") != nullptr) {
            view = w->findChild<QPlainTextEdit*>("help_text");
        }
    }
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->toPlainText(), QString("Vellora help text\n"));
    platform->show_help((dir.path() / "nowhere.hlp").string());
    EXPECT_TRUE(view->toPlainText().contains("could not be found"));
}

TEST_F(QtFormsTest, ForeignWindowsAreMissingWithoutADisplay) {
    EXPECT_FALSE(platform->is_window(0x400001));
    EXPECT_FALSE(platform->client_rect(0x400001).has_value());
    EXPECT_FALSE(platform->window_rect(0x400001).has_value());
    Canvas canvas(*app);
    canvas.Load();
    EXPECT_FALSE(canvas.Picture1.SetParent(0x400001));
    canvas.Unload();
}

TEST_F(QtFormsTest, MouseMovesReachTheFormOverItsPictures) {
    Canvas canvas(*app);
    canvas.Show();
    settle();
    QWidget* client = widget_of(canvas)->childAt(5, 5);
    ASSERT_NE(client, nullptr);
    QTest::mouseMove(client, QPoint(30, 30));
    QTest::mouseMove(client, QPoint(40, 40));
    EXPECT_GE(canvas.mouse_moves, 1);
    canvas.Unload();
}

}  // namespace
}  // namespace vellora::qt

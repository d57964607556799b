// The Qt runtime's tests on Qt's offscreen platform; its contract driver sends real Qt events, answers dialogs inside.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "platform/qt/support.h"
#include "runtime/contract_driver.h"
#include "support/temp_dir.h"

namespace vellora::contract {
namespace {

Qt::Key qt_key(std::int16_t key, bool shift) {
    switch (key) {
        case rt::keys::Tab: return shift ? Qt::Key_Backtab : Qt::Key_Tab;
        case rt::keys::Enter: return Qt::Key_Return;
        case rt::keys::Escape: return Qt::Key_Escape;
        case kBackspace: return Qt::Key_Backspace;
        default: return static_cast<Qt::Key>(key);  // Space and the letters are their own codes
    }
}

class QtDriver final : public Driver {
public:
    QtDriver() { ::testing::internal::CaptureStderr(); }  // where failures are reported
    ~QtDriver() override { (void)::testing::internal::GetCapturedStderr(); }
    rt::Platform& platform() override { return platform_; }

    void key(rt::Form& form, std::int16_t key, std::int16_t shift) override {
        QWidget* target = QApplication::focusWidget();
        if (target == nullptr || target->window() != window(form)) target = window(form);
        Qt::KeyboardModifiers modifiers;
        if ((shift & rt::shift::Shift) != 0) modifiers |= Qt::ShiftModifier;
        if ((shift & rt::shift::Alt) != 0) modifiers |= Qt::AltModifier;
        QTest::keyClick(target, qt_key(key, (shift & rt::shift::Shift) != 0), modifiers);
    }
    void click(rt::CommandButton& button) override { QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton); }
    void close(rt::Form& form) override { window(form)->close(); }
    void later(int ms, std::function<void()> action) override { QTimer::singleShot(ms, std::move(action)); }
    std::string shown_text(rt::TextBox& box) override { return widget<QLineEdit>(box)->displayText().toStdString(); }
    std::string failures() override {
        reported_ += ::testing::internal::GetCapturedStderr();
        ::testing::internal::CaptureStderr();
        return reported_;
    }

    bool change_display(const std::vector<rt::Form*>& /*forms*/) override {
        QScreen* screen = QGuiApplication::primaryScreen();  // Qt tells one change as several signals
        Q_EMIT screen->geometryChanged(screen->geometry());
        Q_EMIT qGuiApp->primaryScreenChanged(screen);
        return true;
    }
    std::optional<rt::Color> shown_pixel(rt::Form& form, int x, int y) override {
        QApplication::processEvents();
        const QColor c = window(form)->grab().toImage().pixelColor(x, y);
        return rt::rgb(c.red(), c.green(), c.blue());
    }

    void answer_next(const DialogAnswer& answer) override {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, answer, waited = 0, tries = 0, last = std::vector<std::string>()]() mutable {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            auto* files = qobject_cast<QFileDialog*>(dialog);
            std::vector<std::string> listed;
            if (files != nullptr) {
                // Its folder is read in the background: the list counts once the same for 0.2 s (or after 5 s).
                const auto* list = files->findChild<QListView*>(QStringLiteral("listView"));
                const QModelIndex folder = list->rootIndex();
                for (int row = 0; row < list->model()->rowCount(folder); ++row) {
                    const QModelIndex file = list->model()->index(row, 0, folder);
                    if (file.flags().testFlag(Qt::ItemIsEnabled)) listed.push_back(file.data().toString().toStdString());
                }
                std::sort(listed.begin(), listed.end());
                const bool same = listed == last;
                last = listed;
                waited = same ? waited + 1 : 0;
                if ((listed.empty() || waited < 20) && ++tries < 500) return;
            }
            timer->stop();
            timer->deleteLater();
            seen_ = {};
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                seen_ = {box->text().toStdString(), box->windowTitle().toStdString(), std::nullopt, "", {}};
            } else if (auto* colors = qobject_cast<QColorDialog*>(dialog)) {
                const QColor c = colors->currentColor();
                seen_.color = rt::rgb(c.red(), c.green(), c.blue());
                colors->setCurrentColor(QColor(rt::red_of(answer.color), rt::green_of(answer.color),
                                               rt::blue_of(answer.color)));
            } else if (files != nullptr) {
                seen_.file_type = files->selectedNameFilter().toStdString();
                seen_.files = listed;
                // Typed as a user would, over the selection (selectFile() leaves a focused name box alone).
                files->findChild<QListView*>(QStringLiteral("listView"))->clearSelection();
                files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(answer.file));
            }
            answer.ok ? dialog->accept() : dialog->reject();
        });
        timer->start(10);
    }

private:
    static QWidget* window(rt::Form& form) { return QWidget::find(static_cast<WId>(form.peer()->handle())); }
    template <typename W>
    static W* widget(rt::Control& control) {
        return window(control.form())->findChild<W*>(QString::fromStdString(control.name()));
    }

    vellora::testing::TempDir dir_;
    qt::QtPlatform platform_{qt::testing::options_in(dir_.path())};
    std::string reported_;
};

}  // namespace

std::unique_ptr<Driver> make_driver() { return std::make_unique<QtDriver>(); }

}  // namespace vellora::contract

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

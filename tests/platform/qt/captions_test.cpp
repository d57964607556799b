// Every caption of the program's real windows shows its whole text on Linux,
// measured with the font the runtime actually draws it in: a label's text
// wrapped within its box, a button's caption inside the button's face, a
// dialog's title in the title bar beside the window's buttons.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <string>
#include <vector>

#include "app/process.h"
#include "platform/qt/platform.h"
#include "startup/windows.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

std::string describe(const QString& text, const QFont& font, const QRect& needed, const QRect& box) {
    return "[" + text.toStdString() + "] in " + QFontInfo(font).family().toStdString() + " " +
           std::to_string(QFontInfo(font).pixelSize()) + " px needs " + std::to_string(needed.width()) + "x" +
           std::to_string(needed.height()) + ", its box is " + std::to_string(box.width()) + "x" +
           std::to_string(box.height());
}

bool fits(const QRect& needed, const QRect& box) {
    return needed.width() <= box.width() && needed.height() <= box.height();
}

TEST(QtCaptions, EveryCaptionOfEveryWindowFitsItsDesignedBox) {
    testing::TempDir dir;
    Options o;
    o.paths.config_dir = dir.path() / "config";
    o.paths.data_dir = dir.path() / "data";
    o.paths.runtime_dir = o.paths.home = dir.path();
    o.lock_override = false;
    o.ask_gsettings = false;
    QtPlatform platform(o);
    Process process(platform, make_window);

    std::vector<std::string> misfits;
    int measured = 0;
    for (const Window which :
         {Window::MainForm, Window::ControlForm, Window::Configuration, Window::PassChange, Window::PassCheck}) {
        rt::Form& form = process.form(which);
        QWidget* window = QWidget::find(static_cast<WId>(form.peer()->handle()));
        ASSERT_NE(window, nullptr) << form.name();
        const std::string where = form.name() + ".";

        // A label wraps its text at the box's width, as QLabel draws it.
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;
            const QRect box = label->contentsRect();
            const QRect needed = QFontMetrics(label->font())
                                     .boundingRect(QRect(0, 0, box.width(), 10000),
                                                   static_cast<int>(label->alignment()) | Qt::TextWordWrap,
                                                   label->text());
            ++measured;
            if (!fits(needed, box)) {
                misfits.push_back(where + label->objectName().toStdString() + " " +
                                  describe(label->text(), label->font(), needed, box));
            }
        }
        // A button draws its caption on one line inside the face its style leaves within the frame.
        for (const QPushButton* button : window->findChildren<QPushButton*>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect face = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const QRect needed = QFontMetrics(button->font())
                                     .boundingRect(face, Qt::AlignCenter | Qt::TextShowMnemonic, button->text());
            ++measured;
            if (!fits(needed, face)) {
                misfits.push_back(where + button->objectName().toStdString() + " " +
                                  describe(button->text(), button->font(), needed, face));
            }
        }
        // A dialog's title: the title bar less the window's icon and buttons
        // (close, and minimize on a fixed single window), 18 pixels each.
        if (form.design().border != rt::BorderStyle::None && !form.Caption().empty()) {
            QFont title = window->font();
            title.setBold(true);
            const int buttons = form.design().border == rt::BorderStyle::FixedSingle ? 3 : 2;
            const QString text = QString::fromStdString(form.Caption());
            const QRect needed = QFontMetrics(title).boundingRect(text);
            const QRect bar(0, 0, window->width() - buttons * 18, form.peer()->frame().top);
            ++measured;
            if (needed.width() > bar.width()) {
                misfits.push_back(where + "Caption " + describe(text, title, needed, bar));
            }
        }
        form.Unload();
    }
    EXPECT_GE(measured, 17);  // every window's labels, buttons and titles were there to measure
    for (const auto& m : misfits) ADD_FAILURE() << "cut caption: " << m;
}

}  // namespace
}  // namespace vellora::qt

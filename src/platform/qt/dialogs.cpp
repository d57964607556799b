#include "platform/qt/dialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QSpinBox>
#include <QTimer>
#include <QWindow>

#include "runtime/failure.h"
#include "runtime/text.h"

namespace vellora::qt {

namespace {

std::string lines_for_display(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace

std::vector<std::string> qt_name_filters(const std::string& filter) {
    std::vector<std::string> out;
    for (const auto& entry : rt::split_filter(filter)) {
        std::string patterns;
        std::string one;
        std::string pattern = entry.pattern + ";";
        for (const char ch : pattern) {
            if (ch != ';') {
                one += ch;
                continue;
            }
            one = std::string(rt::trim(one, " "));
            if (!one.empty()) {
                // "*.*" means every file; other patterns match in any letter case.
                std::vector<std::string> forms;
                if (one == "*.*") {
                    forms = {"*"};
                } else {
                    const std::string lo = rt::to_lower(one);
                    const std::string up = rt::to_upper(one);
                    forms = {one};
                    if (lo != one) forms.push_back(lo);
                    if (up != one && up != lo) forms.push_back(up);
                }
                for (const auto& f : forms) {
                    if (patterns.find(f) != std::string::npos) continue;
                    if (!patterns.empty()) patterns += ' ';
                    patterns += f;
                }
            }
            one.clear();
        }
        out.push_back(entry.description + " (" + patterns + ")");
    }
    return out;
}

QtDialogs::QtDialogs(rt::SystemServices& services, const Trace& trace, std::function<void()> give_back_keyboard,
                     std::function<bool()> over_full_screen)
    : services_(services),
      trace_(trace),
      give_back_keyboard_(std::move(give_back_keyboard)),
      over_full_screen_(std::move(over_full_screen)) {}

int QtDialogs::run(QDialog& dialog) {
    if (!over_full_screen_ || !over_full_screen_()) return dialog.exec();
    // Qt's modality would block the saver's full-screen surfaces too, where a
    // compositor may keep the keyboard (sway does); they hand the keys on to
    // the window above them (outputs.h). The program's forms wait all the same.
    QEventLoop loop;
    int result = QDialog::Rejected;
    QObject::connect(&dialog, &QDialog::finished, &loop, [&](int r) {
        result = r;
        loop.quit();
    });
    dialog.setWindowModality(Qt::NonModal);  // a message box is modal from the start
    dialog.show();
    loop.exec();
    return result;
}

void QtDialogs::trace_when_active(QWidget& dialog, const std::string& name) {
    if (!trace_.on()) return;
    (void)dialog.winId();
    if (QWindow* window = dialog.windowHandle()) {
        QObject::connect(window, &QWindow::activeChanged, &dialog, [this, window, name] {
            rt::guarded(services_, [&] {
                if (window->isActive()) trace_.line(name + " active");
            });
        });
    }
}

void QtDialogs::message_box(const rt::MessageBoxRequest& request) {
    trace_.line("message title [" + request.title + "] text [" + request.text + "]");
    QMessageBox box(request.icon == rt::MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromStdString(request.title), QString::fromStdString(lines_for_display(request.text)),
                    QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    trace_when_active(box, "message");
    run(box);
    give_back_keyboard_();
    trace_.line("message closed");
}

std::optional<rt::Color> QtDialogs::choose_color(const rt::ColorDialogRequest& request) {
    QColorDialog dialog;
    dialog.setOption(QColorDialog::DontUseNativeDialog, true);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (request.start_on_initial) {
        dialog.setCurrentColor(QColor(rt::red_of(request.initial), rt::green_of(request.initial),
                                      rt::blue_of(request.initial)));
    }
    // The "HTML" field takes the keyboard first: a colour can be typed as #rrggbb.
    QLineEdit* html = nullptr;
    for (auto* edit : dialog.findChildren<QLineEdit*>()) {
        if (qobject_cast<QAbstractSpinBox*>(edit->parentWidget()) == nullptr) html = edit;
    }
    if (html != nullptr) {
        QPointer<QLineEdit> target(html);
        QTimer::singleShot(0, &dialog, [this, target] {
            rt::guarded(services_, [&] {
                if (target) {
                    target->setFocus(Qt::OtherFocusReason);
                    target->selectAll();
                }
            });
        });
    }
    trace_when_active(dialog, "color dialog");
    trace_.line("color dialog opens");
    const bool accepted = run(dialog) == QDialog::Accepted;
    give_back_keyboard_();
    if (!accepted) {
        trace_.line("color dialog cancelled");
        return std::nullopt;
    }
    const QColor c = dialog.selectedColor();
    trace_.line("color dialog chose " + c.name().toStdString());
    return rt::rgb(c.red(), c.green(), c.blue());
}

std::optional<std::string> QtDialogs::open_file(const rt::FileDialogRequest& request) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // the file need not exist
    QStringList filters;
    for (const auto& f : qt_name_filters(request.filter)) filters << QString::fromStdString(f);
    dialog.setNameFilters(filters);
    if (request.filter_index >= 1 && request.filter_index <= filters.size()) {
        dialog.selectNameFilter(filters.at(request.filter_index - 1));
    }
    if (!request.file_name.empty()) dialog.selectFile(QString::fromStdString(request.file_name));
    trace_when_active(dialog, "file dialog");
    trace_.line("file dialog opens");
    const bool accepted = run(dialog) == QDialog::Accepted;
    give_back_keyboard_();
    if (!accepted || dialog.selectedFiles().isEmpty()) {
        trace_.line("file dialog cancelled");
        return std::nullopt;
    }
    const auto path = QDir::cleanPath(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath()).toStdString();
    trace_.line("file dialog chose [" + path + "]");
    return path;
}

}  // namespace vellora::qt

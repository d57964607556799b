#include "platform/qt/help.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <filesystem>
#include <vector>

namespace vellora::qt {

HelpViewer::~HelpViewer() {
    if (window_) delete window_.data();
}

void HelpViewer::show(const std::string& help_file) {
    std::filesystem::path file(help_file);
    std::vector<std::filesystem::path> candidates;
    if (file.is_absolute()) {
        candidates.push_back(file);
    } else {
        for (const auto& dir : data_dirs_) candidates.push_back(dir / file);
    }
    QString text;
    std::string found;
    for (const auto& c : candidates) {
        QFile f(QString::fromStdString(c.string()));
        if (f.open(QIODevice::ReadOnly)) {
            text = QString::fromUtf8(f.readAll());
            found = c.string();
            break;
        }
    }
    if (found.empty()) {
        text = QString::fromStdString("The help file \"" + help_file +
                                      "\" could not be found in the program's data folders.");
    }
    trace_.line("help [" + help_file + "] from [" + found + "]");
    if (!window_) {
        auto* window = new QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        auto* layout = new QVBoxLayout(window);
        auto* view = new QPlainTextEdit(window);
        view->setObjectName("help_text");
        view->setReadOnly(true);
        layout->addWidget(view);
        window->resize(560, 420);
        window_ = window;
    }
    window_->setWindowTitle(QString::fromStdString(help_file));
    window_->findChild<QPlainTextEdit*>("help_text")->setPlainText(text);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace vellora::qt

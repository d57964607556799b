#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QSpinBox>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/qt/qt_peers.h"

namespace vellora::qt {

namespace {

// Password boxes show each character as the box's own password character.
class PasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter && widget != nullptr) {
            const QVariant c = widget->property("vellora_password_char");
            if (c.isValid()) return c.toChar().unicode();
        }
        if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
}

std::string lines_for_display(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

// Traces the moment a dialog becomes the active window (and takes the keyboard).
void QtPlatform::trace_when_active(QWidget& dialog, const std::string& name) {
    if (options_.trace_file.empty()) return;
    (void)dialog.winId();
    if (QWindow* window = dialog.windowHandle()) {
        QObject::connect(window, &QWindow::activeChanged, &dialog, [this, window, name] {
            if (window->isActive()) trace(name + " active");
        });
    }
}

// ------------------------------------------------------------------ helpers

QColor to_qcolor(rt::Color color) { return {rt::red_of(color), rt::green_of(color), rt::blue_of(color)}; }

std::int16_t key_code_of(int qt_key) {
    if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return static_cast<std::int16_t>('A' + (qt_key - Qt::Key_A));
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return static_cast<std::int16_t>('0' + (qt_key - Qt::Key_0));
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return static_cast<std::int16_t>(0x70 + (qt_key - Qt::Key_F1));
    switch (qt_key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return rt::keys::Tab;
        case Qt::Key_Return:
        case Qt::Key_Enter: return rt::keys::Enter;
        case Qt::Key_Escape: return rt::keys::Escape;
        case Qt::Key_Space: return rt::keys::Space;
        case Qt::Key_Backspace: return 0x08;
        case Qt::Key_Shift: return 0x10;
        case Qt::Key_Control: return 0x11;
        case Qt::Key_Alt: return 0x12;
        case Qt::Key_Pause: return 0x13;
        case Qt::Key_CapsLock: return 0x14;
        case Qt::Key_PageUp: return 0x21;
        case Qt::Key_PageDown: return 0x22;
        case Qt::Key_End: return 0x23;
        case Qt::Key_Home: return 0x24;
        case Qt::Key_Left: return 0x25;
        case Qt::Key_Up: return 0x26;
        case Qt::Key_Right: return 0x27;
        case Qt::Key_Down: return 0x28;
        case Qt::Key_Insert: return 0x2D;
        case Qt::Key_Delete: return 0x2E;
        case Qt::Key_Meta: return 0x5B;
        default: return 0xFF;  // a key without a Windows number still is a key
    }
}

std::int16_t shift_state_of(Qt::KeyboardModifiers modifiers) {
    std::int16_t s = 0;
    if (modifiers & Qt::ShiftModifier) s = static_cast<std::int16_t>(s | rt::shift::Shift);
    if (modifiers & Qt::ControlModifier) s = static_cast<std::int16_t>(s | rt::shift::Ctrl);
    if (modifiers & Qt::AltModifier) s = static_cast<std::int16_t>(s | rt::shift::Alt);
    return s;
}

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
            one = trim(one);
            if (!one.empty()) {
                // "*.*" means every file; other patterns match in any letter case.
                std::vector<std::string> forms;
                if (one == "*.*") {
                    forms = {"*"};
                } else {
                    std::string lo = one;
                    std::string up = one;
                    for (auto& c : lo) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    for (auto& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
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

Options Options::from_environment() {
    Options o;
    o.paths = Paths::from_environment();
    const auto lock = env("VELLORA_LOCK");
    if (lock == "1") o.lock_override = true;
    if (lock == "0") o.lock_override = false;
    const auto trace = env("VELLORA_TRACE");
    if (!trace.empty()) o.trace_file = trace;
    return o;
}

// ------------------------------------------------------------------ platform

QtPlatform::QtPlatform(Options options)
    : options_(std::move(options)),
      settings_(options_.paths.settings_file()),
      user_store_(options_.paths.user_store_file()),
      registry_(LockSources{options_.lock_override, options_.paths.home / ".xscreensaver", options_.ask_gsettings,
                            options_.hack.has_value()}),
      decoder_([this] { return dpi(); }, [this](const std::string& line) { trace(line); }),
      instance_lock_(options_.paths.runtime_dir / ("vellora-" + std::to_string(::getuid()) + ".lock")) {
    std::error_code ec;
    std::filesystem::create_directories(options_.paths.config_dir, ec);
    // The designed font is narrow; the closest narrow fonts of a Linux desktop stand in for it.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QtPlatform::~QtPlatform() {
    if (cursor_hidden_) QGuiApplication::restoreOverrideCursor();
    if (help_window_) delete help_window_.data();
    purge();
}

void QtPlatform::bury(QObject* object) {
    if (object != nullptr) graveyard_.emplace_back(object);
}

void QtPlatform::purge() {
    auto dead = std::move(graveyard_);
    graveyard_.clear();
    for (auto& object : dead) delete object.data();
}

QStyle* QtPlatform::password_style() {
    if (!password_style_) password_style_ = std::make_unique<PasswordStyle>();
    return password_style_.get();
}

x11::Display& QtPlatform::x11() {
    if (!x11_) {
        // Only a program on an X display has other programs' windows to talk to.
        const bool on_x = QGuiApplication::platformName() == QLatin1String("xcb") && !env("DISPLAY").empty();
        x11_ = std::make_unique<x11::Display>(on_x);
    }
    return *x11_;
}

void QtPlatform::trace(const std::string& line) {
    if (options_.trace_file.empty()) return;
    std::string escaped;
    for (const char ch : line) {
        if (ch == '\r') {
            escaped += "\\r";
        } else if (ch == '\n') {
            escaped += "\\n";
        } else {
            escaped += ch;
        }
    }
    std::ofstream out(options_.trace_file, std::ios::app);
    out << escaped << '\n';
}

std::unique_ptr<rt::NativeWindow> QtPlatform::create_window(rt::Form& form) { return make_window_peer(*this, form); }

std::unique_ptr<rt::NativeTimer> QtPlatform::create_timer(std::function<void()> tick) {
    return make_timer_peer(*this, std::move(tick));
}

void QtPlatform::run_until(const std::function<bool()>& done) {
    ++depth_;
    while (!quit_ && !done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (depth_ == 1) {
            // No handler can be running now: dead widgets and deferred deletes can go.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            purge();
        }
    }
    --depth_;
    if (depth_ == 0) purge();
}

void QtPlatform::send_key(rt::Form* active, std::int16_t key, std::int16_t shift_state) {
    // Handled before the call returns, as a keystroke whose sender waits for it.
    if (active != nullptr) active->deliver_key_down(key, shift_state);
}

double QtPlatform::dpi() const {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double d = s != nullptr ? s->logicalDotsPerInchX() : 96.0;
    return d > 0 ? d : 96.0;
}

float QtPlatform::twips_per_pixel_x() const { return static_cast<float>(1440.0 / dpi()); }

float QtPlatform::twips_per_pixel_y() const {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double d = s != nullptr && s->logicalDotsPerInchY() > 0 ? s->logicalDotsPerInchY() : dpi();
    return static_cast<float>(1440.0 / d);
}

rt::ScreenMetrics QtPlatform::screen() {
    rt::ScreenMetrics m;
    m.twips_per_pixel_x = twips_per_pixel_x();
    m.twips_per_pixel_y = twips_per_pixel_y();
    if (hack_mode()) {
        if (hack_width_ <= 0) {
            if (const auto r = client_rect(options_.hack->window)) {
                hack_width_ = r->right - r->left;
                hack_height_ = r->bottom - r->top;
            }
        }
        m.width_px = std::max(1, hack_width_);
        m.height_px = std::max(1, hack_height_);
        return m;
    }
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        m.width_px = s->geometry().width();
        m.height_px = s->geometry().height();
    }
    return m;
}

int QtPlatform::show_cursor(bool show) {
    cursor_ += show ? 1 : -1;
    if (hack_mode()) return cursor_;  // the hack leaves the pointer to XScreenSaver
    if (cursor_ < 0 && !cursor_hidden_) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
        cursor_hidden_ = true;
    } else if (cursor_ >= 0 && cursor_hidden_) {
        QGuiApplication::restoreOverrideCursor();
        cursor_hidden_ = false;
    }
    return cursor_;
}

double QtPlatform::time_of_day() { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

void QtPlatform::message_box(const rt::MessageBoxRequest& request) {
    trace("message title [" + request.title + "] text [" + request.text + "]");
    QMessageBox box(request.icon == rt::MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromStdString(request.title), QString::fromStdString(lines_for_display(request.text)),
                    QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    trace_when_active(box, "message");
    box.exec();
    give_back_keyboard();
    trace("message closed");
}

std::optional<rt::Color> QtPlatform::choose_color(const rt::ColorDialogRequest& request) {
    QColorDialog dialog;
    dialog.setOption(QColorDialog::DontUseNativeDialog, true);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if ((request.flags & rt::CC_RGBINIT) != 0) dialog.setCurrentColor(to_qcolor(request.initial));
    // The "HTML" field takes the keyboard first: a colour can be typed as #rrggbb.
    QLineEdit* html = nullptr;
    for (auto* edit : dialog.findChildren<QLineEdit*>()) {
        if (qobject_cast<QAbstractSpinBox*>(edit->parentWidget()) == nullptr) html = edit;
    }
    if (html != nullptr) {
        QPointer<QLineEdit> target(html);
        QTimer::singleShot(0, &dialog, [target] {
            if (target) {
                target->setFocus(Qt::OtherFocusReason);
                target->selectAll();
            }
        });
    }
    trace_when_active(dialog, "color dialog");
    trace("color dialog opens");
    const bool accepted = dialog.exec() == QDialog::Accepted;
    give_back_keyboard();
    if (!accepted) {
        trace("color dialog cancelled");
        return std::nullopt;
    }
    const QColor c = dialog.selectedColor();
    trace("color dialog chose " + c.name().toStdString());
    return rt::rgb(c.red(), c.green(), c.blue());
}

std::optional<std::string> QtPlatform::open_file(const rt::FileDialogRequest& request) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // as the original: the file need not exist
    QStringList filters;
    for (const auto& f : qt_name_filters(request.filter)) filters << QString::fromStdString(f);
    dialog.setNameFilters(filters);
    if (request.filter_index >= 1 && request.filter_index <= filters.size()) {
        dialog.selectNameFilter(filters.at(request.filter_index - 1));
    }
    if (!request.file_name.empty()) dialog.selectFile(QString::fromStdString(request.file_name));
    trace_when_active(dialog, "file dialog");
    trace("file dialog opens");
    const bool accepted = dialog.exec() == QDialog::Accepted;
    give_back_keyboard();
    if (!accepted || dialog.selectedFiles().isEmpty()) {
        trace("file dialog cancelled");
        return std::nullopt;
    }
    const auto path = QDir::cleanPath(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath()).toStdString();
    trace("file dialog chose [" + path + "]");
    return path;
}

void QtPlatform::show_help(const std::string& help_file) {
    std::filesystem::path file(help_file);
    std::vector<std::filesystem::path> candidates;
    if (file.is_absolute()) {
        candidates.push_back(file);
    } else {
        candidates.push_back(std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / file);
        candidates.push_back(std::filesystem::path(VELLORA_RESOURCE_DIR) / file);
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
                                      "\" could not be found beside the program or in its resources folder.");
    }
    trace("help [" + help_file + "] from [" + found + "]");
    if (!help_window_) {
        auto* window = new QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        auto* layout = new QVBoxLayout(window);
        auto* view = new QPlainTextEdit(window);
        view->setObjectName("help_text");
        view->setReadOnly(true);
        layout->addWidget(view);
        window->resize(560, 420);
        help_window_ = window;
    }
    help_window_->setWindowTitle(QString::fromStdString(help_file));
    help_window_->findChild<QPlainTextEdit*>("help_text")->setPlainText(text);
    help_window_->show();
    help_window_->raise();
    help_window_->activateWindow();
}

bool QtPlatform::is_window(rt::ForeignWindow window) { return x11().exists(window); }

std::optional<rt::PixelRect> QtPlatform::client_rect(rt::ForeignWindow window) {
    const auto r = x11().client_rect(window);
    if (!r) return std::nullopt;
    return rt::PixelRect{r->left, r->top, r->right, r->bottom};
}

std::optional<rt::PixelRect> QtPlatform::window_rect(rt::ForeignWindow window) {
    const auto r = x11().window_rect(window);
    if (!r) return std::nullopt;
    return rt::PixelRect{r->left, r->top, r->right, r->bottom};
}

bool QtPlatform::previous_instance() {
    if (hack_mode()) return false;  // XScreenSaver runs one per monitor
    return instance_lock_.held_elsewhere();
}

rt::Picture QtPlatform::app_icon() {
    // The program's own 32 x 32 icon: a screen with a picture and circles.
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setPen(QColor(0, 0, 0));
        p.setBrush(QColor(128, 128, 128));
        p.drawRect(2, 3, 27, 21);
        p.setBrush(QColor(0, 0, 128));
        p.drawRect(5, 6, 21, 15);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 0));
        p.drawEllipse(QPoint(10, 10), 2, 2);
        p.setBrush(QColor(255, 0, 0));
        p.drawEllipse(QPoint(20, 15), 3, 3);
        p.setBrush(QColor(0, 255, 0));
        p.drawEllipse(QPoint(14, 17), 2, 2);
        p.setBrush(QColor(128, 128, 128));
        p.drawRect(12, 25, 8, 3);
    }
    auto data = std::make_shared<rt::PictureData>();
    data->himetric_width = pixels_to_himetric(32, dpi());
    data->himetric_height = pixels_to_himetric(32, dpi());
    data->path = "<icon>";
    data->image = std::make_shared<QtImage>(std::move(image));
    return data;
}

void QtPlatform::window_shown(FormWidget* widget) {
    shown_.erase(std::remove(shown_.begin(), shown_.end(), widget), shown_.end());
    shown_.push_back(widget);
}

void QtPlatform::forget_window(FormWidget* widget) {
    if (hack_window_ == widget) hack_window_ = nullptr;
    shown_.erase(std::remove(shown_.begin(), shown_.end(), widget), shown_.end());
}

void QtPlatform::give_back_keyboard() {
    // Without a window manager nobody else gives the keyboard back when a
    // window closes: it goes to the program's most recently shown window.
    if (hack_mode()) return;
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) {
        if ((*it)->form() != nullptr && (*it)->isVisible()) {
            (*it)->activateWindow();
            return;
        }
    }
}

void QtPlatform::set_hack_window(FormWidget* widget) {
    hack_window_ = widget;
    if (!hack_poll_) {
        hack_poll_ = std::make_unique<QTimer>();
        QObject::connect(hack_poll_.get(), &QTimer::timeout, hack_poll_.get(), [this] { poll_hack_target(); });
        hack_poll_->start(250);
    }
}

void QtPlatform::poll_hack_target() {
    if (!hack_mode()) return;
    const auto r = client_rect(options_.hack->window);
    if (!r) {
        // The window we draw in is gone: nothing left to do.
        if (hack_window_ != nullptr) {
            if (auto* form = hack_window_->form()) form->Unload(rt::UnloadMode::TaskManager);
        }
        request_quit();
        return;
    }
    const int w = r->right - r->left;
    const int h = r->bottom - r->top;
    if (w != hack_width_ || h != hack_height_) {
        hack_width_ = w;
        hack_height_ = h;
        if (hack_window_ != nullptr) hack_window_->host_resized(w, h);
        trace("hack window size " + std::to_string(w) + "x" + std::to_string(h));
    }
}

}  // namespace vellora::qt

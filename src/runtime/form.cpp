#include "runtime/form.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "runtime/app.h"
#include "runtime/failure.h"
#include "runtime/text.h"

namespace vellora::rt {

// ---------------------------------------------------------------- Control

Control::Control(Form& owner, std::string name, ControlKind kind)
    : form_(owner), name_(std::move(name)), kind_(kind) {
    form_.register_control(*this);
}

Control::~Control() { form_.unregister_control(*this); }

void Control::changed(Change what) {
    if (peer_) peer_->update(what);
}

void Control::SetLeft(float v) {
    left_ = v;
    changed(Change::Geometry);
}
void Control::SetTop(float v) {
    top_ = v;
    changed(Change::Geometry);
}
void Control::SetWidth(float v) {
    width_ = v;
    changed(Change::Geometry);
}
void Control::SetHeight(float v) {
    height_ = v;
    changed(Change::Geometry);
}

void Control::Move(float left, std::optional<float> top, std::optional<float> width, std::optional<float> height) {
    left_ = left;
    if (top) top_ = *top;
    if (width) width_ = *width;
    if (height) height_ = *height;
    changed(Change::Geometry);
}

void Control::SetVisible(bool v) {
    visible_ = v;
    changed(Change::Visible);
}

void Control::SetEnabled(bool v) {
    enabled_ = v;
    changed(Change::Enabled);
    if (!v && form_.ActiveControl() == this) form_.focus_changed(nullptr);
}

bool Control::focusable() const { return can_take_focus() && visible_ && enabled_; }

void Control::SetFocus() {
    if (!focusable()) return;
    form_.focus_changed(this);
    if (peer_) peer_->focus();
}

void Control::attach(NativeWindow& window) { peer_ = window.create_control(*this); }

void Control::detach() { peer_.reset(); }

AccessKey parse_access_key(const std::string& caption) {
    AccessKey out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            ++i;
            if (caption[i] != '&' && out.key == 0) {
                out.key = ascii_upper(caption[i]);
            }
        }
        out.text += caption[i];
    }
    return out;
}

// ---------------------------------------------------------------- Label

Label::Label(Form& owner, std::string name) : Control(owner, std::move(name), ControlKind::Label) {}

void Label::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    changed(Change::Text);
}
void Label::SetForeColor(Color c) {
    fore_color_ = c;
    changed(Change::Colors);
}
void Label::SetBold(bool b) {
    bold_ = b;
    changed(Change::Style);
}

// ---------------------------------------------------------------- TextBox

TextBox::TextBox(Form& owner, std::string name) : Control(owner, std::move(name), ControlKind::TextBox) {}

void TextBox::SetText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    changed(Change::Text);
    if (on_change) on_change();
}

void TextBox::SetPasswordChar(char c) {
    password_char_ = c;
    changed(Change::Style);
}

std::string TextBox::display_text() const {
    if (password_char_ == 0) return text_;
    return std::string(text_.size(), password_char_);
}

// ---------------------------------------------------------------- CommandButton

CommandButton::CommandButton(Form& owner, std::string name)
    : Control(owner, std::move(name), ControlKind::CommandButton) {}

void CommandButton::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    changed(Change::Text);
}
void CommandButton::SetDefault(bool d) {
    default_ = d;
    changed(Change::Style);
}
void CommandButton::SetCancel(bool c) {
    cancel_ = c;
    changed(Change::Style);
}
void CommandButton::Click() {
    if (on_click) on_click();
}

// ---------------------------------------------------------------- Image

Image::Image(Form& owner, std::string name) : Control(owner, std::move(name), ControlKind::Image) {}

void Image::SetPicture(Picture picture) {
    // The saver assigns the same decoded picture on every tick: the element
    // may move or resize, but its pixels need no repaint then.
    const bool same = picture == picture_;
    picture_ = std::move(picture);
    if (!stretch_ && picture_) {
        // Without stretching the element takes the picture's natural size,
        // in whole screen pixels.
        const auto screen = form().app().screen();
        const auto whole_pixels = [](std::int32_t himetric, float tpp) {
            return static_cast<float>(twips_to_pixels(himetric_to_twips(himetric), tpp)) * tpp;
        };
        Move(Left(), Top(), whole_pixels(picture_->himetric_width, screen.twips_per_pixel_x),
             whole_pixels(picture_->himetric_height, screen.twips_per_pixel_y));
    }
    if (!same) changed(Change::Image);
}

void Image::SetStretch(bool s) {
    stretch_ = s;
    changed(Change::Image);
}

// ---------------------------------------------------------------- PictureBox

PictureBox::PictureBox(Form& owner, std::string name)
    : Control(owner, std::move(name), ControlKind::PictureBox) {}

void PictureBox::SetFillColor(Color color) { fill_color_ = color; }

void PictureBox::Circle(float x, float y, float radius, Color color) {
    if (peer()) peer()->draw_circle(x, y, radius, color, fill_color_);
}

void PictureBox::SetBackColor(Color c) {
    back_color_ = c;
    changed(Change::Colors);
}
void PictureBox::SetForeColor(Color c) {
    fore_color_ = c;
    changed(Change::Colors);
}
void PictureBox::SetPicture(Picture picture) {
    picture_ = std::move(picture);
    changed(Change::Image);
}

bool PictureBox::SetParent(ForeignWindow parent) { return peer() != nullptr && peer()->set_parent(parent); }

// ---------------------------------------------------------------- Timer

Timer::Timer(Form& owner, std::string name) : form_(owner), name_(std::move(name)) { form_.register_timer(*this); }

Timer::~Timer() { form_.unregister_timer(*this); }

void Timer::SetInterval(int ms) {
    interval_ = ms;
    restart();
}

void Timer::SetEnabled(bool e) {
    enabled_ = e;
    restart();
}

void Timer::form_loaded() {
    native_ = form_.app().windows().create_timer([this] { fire(); });
    restart();
}

void Timer::form_unloaded() { native_.reset(); }

void Timer::restart() {
    if (!native_) return;
    if (enabled_ && interval_ > 0) {
        native_->start(interval_);
    } else {
        native_->stop();
    }
}

void Timer::fire() {
    if (!enabled_ || !form_.loaded()) return;
    if (on_timer) on_timer();
}

// ---------------------------------------------------------------- MenuCommand

MenuCommand::MenuCommand(Form& owner, std::string name) : name_(std::move(name)) { owner.register_menu(*this); }

void MenuCommand::Click() {
    if (on_click) on_click();
}

// ---------------------------------------------------------------- Form

FrameInsets classic_frame(const FormDesign& design, int menu_bar_px) {
    constexpr int kBorder = 3;
    constexpr int kTitle = 19;
    if (design.border == BorderStyle::None) return {};
    FrameInsets f{kBorder, kBorder + kTitle, kBorder, kBorder};
    if (design.has_menu) f.top += menu_bar_px;
    return f;
}

Form::Form(App& app, std::string name) : app_(app), name_(std::move(name)) {}

Form::~Form() {
    for (auto* t : timers_) t->form_unloaded();
    for (auto* c : controls_) c->detach();
    if (loaded_) app_.form_unloaded(*this);
}

void Form::register_control(Control& c) { controls_.push_back(&c); }
void Form::unregister_control(Control& c) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), &c), controls_.end());
    if (active_control_ == &c) active_control_ = nullptr;
}
void Form::register_timer(Timer& t) { timers_.push_back(&t); }
void Form::unregister_timer(Timer& t) { timers_.erase(std::remove(timers_.begin(), timers_.end(), &t), timers_.end()); }
void Form::register_menu(MenuCommand& m) { menu_.push_back(&m); }

void Form::changed(Change what) {
    if (peer_) peer_->update(what);
}

void Form::Load() {
    if (loaded_ || loading_) return;
    loading_ = true;
    const ScopeExit done([this] { loading_ = false; });
    caption_ = design_.caption;
    back_color_ = design_.back_color;
    left_ = design_.left;
    top_ = design_.top;
    width_ = design_.width;
    height_ = design_.height;
    peer_ = app_.windows().create_window(*this);
    if (design_.client_width || design_.client_height) {
        const auto insets = peer_->frame();
        const auto screen = app_.screen();
        if (design_.client_width) {
            width_ = *design_.client_width + static_cast<float>(insets.left + insets.right) * screen.twips_per_pixel_x;
        }
        if (design_.client_height) {
            height_ = *design_.client_height + static_cast<float>(insets.top + insets.bottom) * screen.twips_per_pixel_y;
        }
    }
    peer_->update(Change::Geometry | Change::Text | Change::Colors);
    for (auto* c : controls_) c->attach(*peer_);
    // The focus starts on the first control in tab order that can take it.
    const auto order = tab_order();
    active_control_ = order.empty() ? nullptr : order.front();
    loaded_ = true;
    app_.form_loaded(*this);
    for (auto* t : timers_) t->form_loaded();
    Form_Load();
}

void Form::Show(bool modal) {
    Load();
    if (!loaded_) return;  // Form_Load unloaded it
    if (modal) {
        // Every other loaded form takes no input while this one is open.
        std::vector<Form*> blocked;
        for (auto* f : app_.loaded_forms()) {
            if (f != this) {
                f->block_input();
                blocked.push_back(f);
            }
        }
        modal_ = true;
        // However the wait ends (a handler inside it may throw), the other
        // forms take input again and this one is no longer modal.
        const ScopeExit restore([this, &blocked] {
            modal_ = false;
            for (auto* f : blocked) {
                // A form unloaded meanwhile is no longer in the book; only unblock live ones.
                const auto& live = app_.loaded_forms();
                if (std::find(live.begin(), live.end(), f) != live.end()) f->unblock_input();
            }
        });
        visible_ = true;
        app_.set_active_form(this);
        peer_->show(true);
        remember_pointer();
        if (active_control_ && active_control_->peer()) active_control_->peer()->focus();
        app_.run_until([this] { return !loaded_; });
        return;
    }
    visible_ = true;
    app_.set_active_form(this);
    peer_->show(false);
    remember_pointer();
    if (active_control_ && active_control_->peer()) active_control_->peer()->focus();
}

void Form::Hide() {
    visible_ = false;
    if (peer_) peer_->hide();
}

UnloadResult Form::Unload(UnloadMode mode) {
    if (!loaded_) return UnloadResult::Unloaded;
    std::int16_t cancel = 0;
    Form_QueryUnload(cancel, static_cast<std::int16_t>(mode));
    if (cancel != 0) return UnloadResult::Refused;
    if (!loaded_) return UnloadResult::Unloaded;  // unloaded while asking
    Form_Unload(cancel);
    if (cancel != 0) return UnloadResult::Refused;
    if (!loaded_) return UnloadResult::Unloaded;
    for (auto* t : timers_) t->form_unloaded();
    for (auto* c : controls_) c->detach();
    loaded_ = false;
    visible_ = false;
    input_blocks_ = 0;
    active_control_ = nullptr;
    peer_.reset();
    app_.form_unloaded(*this);
    return UnloadResult::Unloaded;
}

void Form::SetLeft(float v) {
    left_ = v;
    changed(Change::Geometry);
}
void Form::SetTop(float v) {
    top_ = v;
    changed(Change::Geometry);
}
void Form::SetWidth(float v) {
    width_ = v;
    changed(Change::Geometry);
}
void Form::SetHeight(float v) {
    height_ = v;
    changed(Change::Geometry);
}
void Form::Move(float left, std::optional<float> top, std::optional<float> width, std::optional<float> height) {
    left_ = left;
    if (top) top_ = *top;
    if (width) width_ = *width;
    if (height) height_ = *height;
    changed(Change::Geometry);
}

float Form::ScaleWidth() const {
    const FrameInsets insets = peer_ ? peer_->frame() : FrameInsets{};
    return width_ - static_cast<float>(insets.left + insets.right) * app_.screen().twips_per_pixel_x;
}

float Form::ScaleHeight() const {
    const FrameInsets insets = peer_ ? peer_->frame() : FrameInsets{};
    return height_ - static_cast<float>(insets.top + insets.bottom) * app_.screen().twips_per_pixel_y;
}

void Form::SetCaption(std::string c) {
    caption_ = std::move(c);
    changed(Change::Text);
}

void Form::SetBackColor(Color c) {
    back_color_ = c;
    changed(Change::Colors);
}

void Form::SetFillColor(Color c) { fill_color_ = c; }

void Form::Circle(float x, float y, float radius, Color color) {
    if (peer_) peer_->draw_circle(x, y, radius, color, fill_color_);
}

void Form::SetTopMost() {
    if (peer_) peer_->set_topmost();
}

void Form::Minimize() {
    if (peer_) peer_->minimize();
}

void Form::block_input() {
    if (input_blocks_++ == 0 && peer_) peer_->set_input_enabled(false);
}

void Form::unblock_input() {
    if (input_blocks_ > 0 && --input_blocks_ == 0 && peer_) {
        peer_->set_input_enabled(true);
        // Whatever the pointer did meanwhile was not this form's: real
        // movement counts from where it is now.
        remember_pointer();
    }
}

std::vector<Control*> Form::tab_order() const {
    std::vector<Control*> order;
    for (auto* c : controls_) {
        if (c->focusable()) order.push_back(c);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Control* a, const Control* b) { return a->TabIndex() < b->TabIndex(); });
    return order;
}

void Form::move_focus(bool backwards) {
    const auto order = tab_order();
    if (order.empty()) return;
    auto it = std::find(order.begin(), order.end(), active_control_);
    std::size_t index = 0;
    if (it != order.end()) {
        const auto pos = static_cast<std::size_t>(it - order.begin());
        index = backwards ? (pos + order.size() - 1) % order.size() : (pos + 1) % order.size();
    } else if (backwards) {
        index = order.size() - 1;
    }
    order[index]->SetFocus();
}

void Form::focus_changed(Control* control) { active_control_ = control; }

void Form::activated() { app_.set_active_form(this); }

void Form::deliver_key_down(std::int16_t key, std::int16_t shift_state) {
    if (!loaded_ || !input_enabled()) return;
    if ((shift_state & shift::Alt) != 0 && key >= 'A' && key <= 'Z') {
        // Access keys: a button presses, a label moves the focus to the
        // next control in tab order after it, a menu command runs.
        for (auto* m : menu_) {
            if (parse_access_key(m->Caption()).key == key) {
                m->Click();
                return;
            }
        }
        for (auto* c : controls_) {
            if (!c->Visible() || !c->Enabled()) continue;
            if (auto* b = dynamic_cast<CommandButton*>(c); b && parse_access_key(b->Caption()).key == key) {
                b->SetFocus();
                b->Click();
                return;
            }
            if (auto* l = dynamic_cast<Label*>(c); l && parse_access_key(l->Caption()).key == key) {
                for (auto* next : tab_order()) {
                    if (next->TabIndex() > l->TabIndex()) {
                        next->SetFocus();
                        return;
                    }
                }
                return;
            }
        }
    }
    switch (key) {
        case keys::Tab:
            if (!tab_order().empty()) {
                move_focus((shift_state & shift::Shift) != 0);
                return;
            }
            break;
        case keys::Enter: {
            if (auto* b = dynamic_cast<CommandButton*>(active_control_)) {
                b->Click();
                return;
            }
            for (auto* c : controls_) {
                if (auto* b = dynamic_cast<CommandButton*>(c); b && b->Default() && b->focusable()) {
                    b->Click();
                    return;
                }
            }
            break;
        }
        case keys::Space:
            if (auto* b = dynamic_cast<CommandButton*>(active_control_)) {
                b->Click();
                return;
            }
            break;
        case keys::Escape:
            for (auto* c : controls_) {
                if (auto* b = dynamic_cast<CommandButton*>(c); b && b->Cancel() && b->focusable()) {
                    b->Click();
                    return;
                }
            }
            break;
        case keys::F1:
            if (!app_.HelpFile().empty()) {
                app_.services().show_help(app_.HelpFile());
                return;
            }
            break;
        default:
            break;
    }
    if (active_control_ == nullptr) Form_KeyDown(key, shift_state);
}

void Form::deliver_mouse_down(std::int16_t button, std::int16_t shift_state, float x, float y) {
    if (!loaded_ || !input_enabled()) return;
    Form_MouseDown(button, shift_state, x, y);
}

void Form::deliver_mouse_move(std::int16_t button, std::int16_t shift_state, float x, float y) {
    if (!loaded_ || !input_enabled()) return;
    // The point on the screen: the inner area's top-left corner, in pixels, plus the event's point.
    const auto screen = app_.screen();
    const auto insets = peer_->frame();
    const PixelPoint at{
        twips_to_pixels(left_, screen.twips_per_pixel_x) + insets.left + twips_to_pixels(x, screen.twips_per_pixel_x),
        twips_to_pixels(top_, screen.twips_per_pixel_y) + insets.top + twips_to_pixels(y, screen.twips_per_pixel_y)};
    if (pointer_ == at) return;  // no movement
    pointer_ = at;
    Form_MouseMove(button, shift_state, x, y);
}

void Form::remember_pointer() { pointer_ = app_.windows().pointer_position(); }

void Form::deliver_display_changed() {
    if (!loaded_) return;
    Form_DisplayChanged();
    remember_pointer();
}

void Form::deliver_pointer_known() {
    if (peer_ && input_blocks_ == 0) remember_pointer();
}

void Form::deliver_dbl_click() {
    if (!loaded_ || !input_enabled()) return;
    Form_DblClick();
}

void Form::deliver_paint() {
    if (!loaded_) return;
    Form_Paint();
}

void Form::deliver_close() {
    if (!loaded_ || !input_enabled()) return;
    Unload(UnloadMode::ControlMenu);
}

}  // namespace vellora::rt

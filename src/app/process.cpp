#include "app/process.h"

namespace vellora {

Process::Process(rt::Platform& platform, WindowFactory factory) : app_(platform), factory_(std::move(factory)) {}

Process::~Process() {
    // Windows go before the runtime they stand on.
    for (auto& f : forms_) f.reset();
}

rt::Form& Process::form(Window window) {
    auto& slot = forms_.at(static_cast<std::size_t>(window));
    if (!slot) slot = factory_(window, *this);
    slot->Load();
    return *slot;
}

rt::Form* Process::existing(Window window) const { return forms_.at(static_cast<std::size_t>(window)).get(); }

bool Process::loaded(Window window) const {
    const auto* f = existing(window);
    return f != nullptr && f->loaded();
}

}  // namespace vellora

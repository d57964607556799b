// Stand-ins for the program's windows: each records its creation and load,
// and its colour and visibility while loading, so start-up and the settings
// routines can be checked without the real windows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "app/process.h"
#include "support/temp_dir.h"

namespace vellora::startup_test {

inline constexpr rt::Color kDesignColor = rt::rgb(1, 2, 3);
inline constexpr const char* kNames[] = {"MainForm", "ControlForm", "Configuration", "PassChange", "PassCheck"};

struct Journal {
    std::vector<std::string> events;  // "create X", "load X"
    rt::Color color_at_load = 0;
    bool visible_at_load = true;
};

class StubWindow final : public rt::Form {
public:
    StubWindow(Process& process, Window which, Journal& journal)
        : rt::Form(process.app(), kNames[static_cast<int>(which)]), journal_(journal) {
        design_.back_color = kDesignColor;
        journal_.events.push_back("create " + name());
    }

protected:
    void Form_Load() override {
        journal_.events.push_back("load " + name());
        journal_.color_at_load = BackColor();
        journal_.visible_at_load = Visible();
    }

private:
    Journal& journal_;
};

// A process on the headless runtime whose windows are stubs.
struct StubProcess {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    Journal journal;
    WindowFactory factory() {
        return [this](Window w, Process& p) -> std::unique_ptr<rt::Form> {
            return std::make_unique<StubWindow>(p, w, journal);
        };
    }
    Process process{platform, factory()};
};

}  // namespace vellora::startup_test

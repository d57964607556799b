// The Qt runtime's tests: a platform whose folders all lie in the test's own.
#pragma once

#include "platform/qt/platform.h"

namespace vellora::qt::testing {

inline Options options_in(const std::filesystem::path& dir) {
    Options o;
    o.paths.config_dir = o.paths.data_dir = o.paths.runtime_dir = o.paths.home = dir;
    o.lock_override = false;
    o.ask_desktop = false;
    return o;
}

}  // namespace vellora::qt::testing

// `vellora --idle [SECONDS]`: the long-running watcher that starts the saver
// (`vellora /S`) as a child process after the delay without input.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vellora::lnx {

// Runs the watcher until its idle source goes away: `args` are the
// arguments from "--idle" on, `settings_file` holds "[Idle] seconds", the
// session lock lives in `runtime_dir`. Returns the process's exit status.
int run_idle_watcher(const std::vector<std::string>& args, const std::filesystem::path& settings_file,
                     const std::filesystem::path& runtime_dir);

}  // namespace vellora::lnx

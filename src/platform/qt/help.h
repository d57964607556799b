// The help viewer: the help file's text in a window of its own, which stays
// open beside the program's windows and is reused for the next request.
#pragma once

#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/qt/trace.h"

namespace vellora::qt {

class HelpViewer {
public:
    // `data_dirs`: the program's data folders, searched in this order.
    HelpViewer(const Trace& trace, std::vector<std::filesystem::path> data_dirs)
        : trace_(trace), data_dirs_(std::move(data_dirs)) {}
    ~HelpViewer();
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // Shows the file at its beginning. A relative name is looked for in the
    // data folders only, as the spare picture is (a build tree offers its
    // files as one more data folder; see scripts/run.sh); a file found
    // nowhere shows a line that says so.
    void show(const std::string& help_file);

private:
    const Trace& trace_;
    std::vector<std::filesystem::path> data_dirs_;
    QPointer<QWidget> window_;
};

}  // namespace vellora::qt

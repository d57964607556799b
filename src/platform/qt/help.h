// The help viewer: the help file's text in a window of its own, which stays
// open beside the program's windows and is reused for the next request.
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "platform/qt/trace.h"

namespace vellora::qt {

class HelpViewer {
public:
    explicit HelpViewer(const Trace& trace) : trace_(trace) {}
    ~HelpViewer();
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // Shows the file at its beginning. A relative name is looked for beside
    // the program, then in the resources folder; a file found nowhere shows
    // a line that says so.
    void show(const std::string& help_file);

private:
    const Trace& trace_;
    QPointer<QWidget> window_;
};

}  // namespace vellora::qt

#include "platform/qt/trace.h"

#include <fstream>

namespace vellora::qt {

void Trace::line(const std::string& text) const {
    if (!on()) return;
    std::string escaped;
    for (const char ch : text) {
        if (ch == '\r') {
            escaped += "\\r";
        } else if (ch == '\n') {
            escaped += "\\n";
        } else {
            escaped += ch;
        }
    }
    std::ofstream out(file_, std::ios::app);
    out << escaped << '\n';
}

}  // namespace vellora::qt

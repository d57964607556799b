#include "runtime/failure.h"

namespace vellora::rt {

void report_failed_handler(SystemServices& services, const std::exception* failure) noexcept {
    try {
        services.report_failure(std::string("vellora: a handler failed and its event was dropped: ") +
                                (failure != nullptr ? failure->what() : "unknown failure"));
    } catch (...) {
        // Reporting itself failed (no memory): the event is dropped all the same.
    }
}

}  // namespace vellora::rt

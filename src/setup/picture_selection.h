// The file dialog of "Set Picture".
#pragma once

#include <string>
#include <vector>

namespace vellora {

// The dialog's filter: seven entries, always the same texts in the same
// order. "All Picture Formats" lists the files of every extension in
// `readable` (what the platform's decoders read), the five classic ones
// first; nothing else, so nothing is offered that cannot be shown.
[[nodiscard]] std::string picture_filter(const std::vector<std::string>& readable);

}  // namespace vellora

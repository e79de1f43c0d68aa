#pragma once

#include <string_view>

namespace kestrine {

// True when `bytes` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing past U+10FFFF. The Mac's reports are read only when they are, and the
// virtual laptop writes a text into its event log as text only when it is.
bool isValidUtf8(std::string_view bytes);

}  // namespace kestrine

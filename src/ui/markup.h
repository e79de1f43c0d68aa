#pragma once

#include <string>
#include <string_view>

namespace kestrine {

// Text as XML character data or attribute value: '&', '<', '>' and '"'
// escaped. Notification servers that read markup and SVG drawings both need it.
std::string escapeMarkup(std::string_view text);

}  // namespace kestrine

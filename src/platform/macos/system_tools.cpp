#include "mac_power/system_tools.h"

namespace kestrine {

const SystemTools& platformSystemTools() {
  static const SystemTools tools = macSystemTools();
  return tools;
}

}  // namespace kestrine

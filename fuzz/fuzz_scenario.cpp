// The virtual laptop's scenario files. "file-from" paths resolve under a
// folder that does not exist, so no input reads a real file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sim/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kestrine::sim::parseScenario(text, "fuzz.scenario", "/nonexistent/kestrine-fuzz");
  return 0;
}

// The readings taken from pmset's reports.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mac_power/reports.h"
#include "storage/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kestrine::batteryReportSaysOnBattery(text);
  kestrine::powerModeFromCustomReport(text);
  kestrine::parseDecimalInt64(text);
  kestrine::isValidUtf8(text);
  return 0;
}

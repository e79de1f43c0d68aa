// Proof that the Apple pass of the backend's type check holds the code to the
// deployment target: std::to_chars for a double needs macOS 13.3.
#include <charconv>

int kestrineAvailabilityProbe(char* out, double value) {
  return static_cast<int>(std::to_chars(out, out + 32, value).ptr - out);
}

#include "platform/macos/power_source_shape.h"

#include <type_traits>

namespace kestrine::macos {

namespace {

std::optional<PowerSourceValue> toValue(const RawPowerSourceValue& raw) {
  return std::visit(
      [](const auto& value) -> std::optional<PowerSourceValue> {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, OtherValue>) {
          return std::nullopt;
        } else {
          return PowerSourceValue(value);
        }
      },
      raw);
}

}  // namespace

std::optional<PowerSourceDescription> toPowerSourceDescription(
    const RawPowerSourceDescription& raw) {
  if (!raw) return std::nullopt;
  PowerSourceDescription description;
  for (const RawPowerSourceEntry& entry : *raw) {
    // A dictionary with a key that is not text is not a description at all.
    if (!entry.key) return std::nullopt;
    if (auto value = toValue(entry.value)) description.emplace(*entry.key, std::move(*value));
  }
  return description;
}

PowerSourceList toPowerSourceList(const std::vector<RawPowerSourceDescription>& raw) {
  PowerSourceList list;
  list.reserve(raw.size());
  for (const RawPowerSourceDescription& source : raw)
    list.push_back(toPowerSourceDescription(source));
  return list;
}

}  // namespace kestrine::macos

#include <gtest/gtest.h>

#include "platform/linux/emoji_icon.h"
#include "platform/linux/notifications.h"

namespace kestrine::linux_desktop {
namespace {

TEST(NotificationBody, MarkupCharactersShowAsTextOnMarkupServersOnly) {
  const Notification n{"t", "a<b", "c & d > e"};  // subtitle, line feed, body
  EXPECT_EQ(notificationBody(n, true), "a&lt;b\nc &amp; d &gt; e");
  EXPECT_EQ(notificationBody(n, false), "a<b\nc & d > e");
}

TEST(EmojiIconName, OneNamePerTitleFromItsCodePoints) {
  const struct {
    const char* title;
    const char* name;
  } table[] = {{"🔋", "kestrine_1f50b"},           {"💤", "kestrine_1f4a4"},
               {"🔌", "kestrine_1f50c"},           {"🪫", "kestrine_1faab"},
               {"⚡\uFE0F", "kestrine_26a1_fe0f"}, {"", "kestrine"}};
  for (const auto& row : table) EXPECT_EQ(iconNameForTitle(row.title), row.name);
  EXPECT_EQ(iconNameForTitle("\xff"), "kestrine_invalid");
}

}  // namespace
}  // namespace kestrine::linux_desktop

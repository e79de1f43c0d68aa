#pragma once

#include <filesystem>
#include <string>

namespace kestrine::linux_desktop {

// The icon-theme name under which the icon for `title` is stored: "kestrine"
// followed by the title's code points in hexadecimal, each after a "_" ("🔋"
// gives "kestrine_1f50b"). A new name per title makes tray hosts reload the
// image. No "-": icon themes fall back through a name cut at its last "-",
// which would reach "kestrine", the installed application icon, and hosts
// look in the installed theme before the item's own icon folder.
std::string iconNameForTitle(const std::string& title);

// Draws `title` with the colour emoji font into a square PNG of `size` pixels
// at `<directory>/<iconNameForTitle(title)>.png`. False when it cannot be
// written.
bool renderEmojiIcon(const std::string& title, const std::filesystem::path& directory,
                     int size = 64);

}  // namespace kestrine::linux_desktop

#pragma once

#include "platform/linux/wording.h"

namespace kestrine::linux_desktop {

// Takes the user's locale from the environment and opens Kestrine's message
// catalogues (domain "kestrine"): those beside the program, in
// <prefix>/share/locale for a program in <prefix>/bin (the build tree is laid
// out so), or else those of the installed prefix. Numbers are written by
// Kestrine itself, so the locale changes words only, never a file.
void openMessageCatalogues();

// The Linux wording in the user's language (see kLinuxWording); English where
// the catalogue has no translation.
Wording translatedWording();

}  // namespace kestrine::linux_desktop

#pragma once

namespace kestrine::macos {

// Adds Kestrine.app itself to the user's login items (System Settings >
// General > Login Items); true when it is there afterwards. macOS tells the
// user with a notification of its own.
bool registerMainAppAtLogin();

}  // namespace kestrine::macos

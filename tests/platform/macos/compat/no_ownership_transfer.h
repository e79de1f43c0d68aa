// Included ahead of every Objective-C++ file the check compiles. clang's
// analyzer follows CoreFoundation ownership through CFRelease, but drops what
// it finds at a bridging cast, so a __bridge_transfer of a Get result (owned by
// someone else) would pass unnoticed. The backend therefore bridges only with
// __bridge and releases what it copied with CFRelease; a transfer fails here.
#pragma once
#pragma clang poison __bridge_transfer __bridge_retained

// glibc's <spawn.h> plus the Apple extensions the runner uses on the Mac, with
// the SDK's signatures.
#pragma once

#include_next <spawn.h>

#define POSIX_SPAWN_CLOEXEC_DEFAULT 0x4000

#ifdef __cplusplus
extern "C" {
#endif

int posix_spawn_file_actions_addinherit_np(posix_spawn_file_actions_t* file_actions, int filedes);

#ifdef __cplusplus
}
#endif

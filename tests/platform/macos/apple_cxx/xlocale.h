// Apple's <xlocale.h>: glibc has locale_t and most *_l functions in its own
// headers but not these three, which libc++ calls on Apple systems.
#pragma once

#include <locale.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

int sscanf_l(const char* str, locale_t loc, const char* format, ...);
int snprintf_l(char* str, size_t size, locale_t loc, const char* format, ...);
int asprintf_l(char** ret, locale_t loc, const char* format, ...);

#ifdef __cplusplus
}
#endif

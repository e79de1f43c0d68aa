// GCC's Objective-C runtime header, the only one on the system, with one fix
// for clang: its inline object_getClass() reads the class through a field of
// `id`, and clang's `id` is opaque under the GNUstep runtimes. That definition
// is compiled under another name with a plain struct pointer, and the function
// is declared again as the runtime exports it.
#pragma once

#define object_getClass(declaration) kestrine_gcc_object_getClass(struct objc_object* object)
#include_next <objc/runtime.h>
#undef object_getClass

#ifdef __cplusplus
extern "C" {
#endif
Class object_getClass(id object);
#ifdef __cplusplus
}
#endif

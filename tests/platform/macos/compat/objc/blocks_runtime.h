// The blocks runtime as the Apple SDK's <Block.h> declares it. GNUstep's
// headers include this file by name; on this machine no runtime provides it.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

void* _Block_copy(const void* block);
void _Block_release(const void* block);

#ifdef __cplusplus
}
#endif

#ifndef Block_copy
#define Block_copy(...) ((__typeof(__VA_ARGS__))_Block_copy((const void*)(__VA_ARGS__)))
#endif
#ifndef Block_release
#define Block_release(...) _Block_release((const void*)(__VA_ARGS__))
#endif

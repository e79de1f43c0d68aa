// The SDK's <Block.h>, which GNUstep's headers include on Apple systems.
#pragma once

#include <objc/blocks_runtime.h>

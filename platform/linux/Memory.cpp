#include "platform/Memory.h"

#include <malloc.h>

void releaseFreedMemory()
{
    malloc_trim(0);
}

#include "foundation/guid.h"

#include <string.h>

static_assert(sizeof(GUID) == 16, "a GUID is 16 bytes");

bool GuidEquals(const GUID* a, const GUID* b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    return memcmp(a, b, sizeof(GUID)) == 0;
}

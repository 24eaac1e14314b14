// GUID comparison for the database layer's QueryInterface and property sets.
#pragma once

#include <windows.h>

// True when all 16 bytes of the two GUIDs are equal. Two null pointers are
// equal; a null pointer equals no GUID.
bool GuidEquals(const GUID* a, const GUID* b);

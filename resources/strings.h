// Names of the string-table texts, for code: LoadStringW(hInstance, IDS_SETUP_PROGRAM, ...).
// The list itself, with both languages' texts, is resources/strings.def.
#pragma once

enum StringId : unsigned {
#define TF_STRING(id, name, english, russian) name = id,
#include "resources/strings.def"
#undef TF_STRING
};

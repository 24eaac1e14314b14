// What the application shell and the forms font reader give the description
// classes in the program; the tests define them here.
#include "forms/descenv.h"

#include "desc_test_util.h"

LOGFONTW gTestFormsFont = {-13, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Test Forms Font"};

const LOGFONTW* GetFormsFont() { return &gTestFormsFont; }

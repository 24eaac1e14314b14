// The owner-drawn up-down of the control library, where the build has it.
// The panel's window/level controls and the profile's averaging width are
// up-downs; without the control those windows keep their values and show no
// spinner.
#pragma once

#if __has_include("ui/updown.h")
#include "ui/updown.h"
#define TF_HAVE_UPDOWN 1
#else
#define TF_HAVE_UPDOWN 0
#endif

// The exchange's tests run on a main thread that initialised COM for the
// multithreaded apartment, as the program's start-up does.
#include "common/com_environment.h"

// The printing tests run on a main thread that initialised COM for the
// multithreaded apartment, as the program's start-up does (InitCom).
#include "common/com_environment.h"

// The card, lookup and filter tests reach the database from a thread that
// initialised COM for the multithreaded apartment, as the program's main
// thread does at start-up.
#include "common/com_environment.h"

// The shared library libgondra is made of the layer libraries linked whole;
// this unit only gives the target a source of its own.
#include "gondra.h"

#include "core/VelmError.h"
// VelmError is header-only; this unit keeps the core library non-empty and
// checks that the header stands alone.

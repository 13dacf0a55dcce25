#pragma once

// The Windows API for the files of this folder. shell.h must come first: its mb:: constants
// carry the MB_* names that windows.h defines as macros. MessageBox is undefined so that the
// Shell method of that name is not renamed to MessageBoxA.
#include "app/shell.h"

#include <windows.h>

#undef MessageBox

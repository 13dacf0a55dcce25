#pragma once

// The Windows API for the files of this folder. MessageBox is undefined so that the Shell
// method of that name is not renamed to MessageBoxA.
#include <windows.h>

#undef MessageBox

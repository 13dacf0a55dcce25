#pragma once

// Resource identifiers shared by lantorvix.rc and the code (plain macros: windres reads this).
#define LANTORVIX_IDI_MAIN 1
#define LANTORVIX_IDI_LOGO 2

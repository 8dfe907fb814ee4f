#pragma once

// Identifiers of the program's resources, shared by chronavel.rc and the code.
#define IDI_CHRONAVEL 1

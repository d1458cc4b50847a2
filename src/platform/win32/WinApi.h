#pragma once

// <windows.h> the one way this folder includes it: without the rarely used parts, and without
// the min and max macros that break std::min and std::max (libstdc++ asks for that already).
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

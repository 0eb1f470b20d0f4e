#pragma once
#include <cstdint>

// How far the spectrum display shakes the window; set from the command line or the search box.
inline int16_t ScreenJump = 0;

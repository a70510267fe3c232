#pragma once

// The line speeds a terminal device is set to: termios names each speed by
// a constant of its own rather than by its number of bits per second.

#include <termios.h>

#include <cstdint>

/// The termios constant for `bits` per second; false for a speed termios
/// does not name.
bool SpeedOf(uint32_t bits, speed_t* speed);

/// The bits per second of a termios speed constant; 0 for one not listed.
uint32_t BitsOf(speed_t speed);

#pragma once

#include <string>

// The instruments print numbers for the C library's atoi and atof: leading
// white space skipped, the longest valid prefix converted, 0 when there is
// none. These do exactly that, always in the "C" locale, whatever locale the
// desktop toolkit has switched the process to (a decimal comma would
// otherwise turn every printed value into 0).

/// isspace of the "C" locale (blank, tab, line feed, vertical tab, form
/// feed, carriage return), without consulting the process locale.
inline bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

/// atoi of `text`: (int) of the 64-bit strtol value, as glibc's atoi, so a
/// run of digits too long for an int gives a defined result.
int CAtoi(const std::string& text);
/// atof of `text` in the "C" locale.
double CAtof(const std::string& text);
/// strtod of `text` in the "C" locale as the GNU C library gives it (hex
/// floats, infinity, NaN with its payload, overflow to infinity), without
/// the platform's C library or locale: what a Windows build reads with.
double StrtodC(const char* text);

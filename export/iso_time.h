#pragma once

#include <ctime>
#include <string>

/// `local` (local date and time fields) as ISO 8601 with its offset from
/// UTC at that moment, summer time included: "2026-12-06T01:15:23+01:00";
/// without the offset when the moment does not exist in the local zone.
std::string IsoLocalTime(const std::tm& local);

#pragma once

#include <cstdint>

namespace qzr {

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar), and
// back. The cameras' clocks and the console's time stamps count in these.
std::int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

}  // namespace qzr

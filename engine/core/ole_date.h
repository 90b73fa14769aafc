// Dates in the automation format: days since 30 December 1899 as a double, the time of day as the
// fraction. Before that day the fraction is subtracted, so -1.25 is 29 December 1899, 06:00.
#pragma once

#include <cstdint>

namespace kp {

// The fields of a date, in this order.
struct OleDateFields {
    int32_t second;
    int32_t minute;
    int32_t hour;
    int32_t day;        // 1-31
    int32_t month;      // 1-12
    int32_t year;       // 100-9999
    int32_t weekday;    // 1 Sunday to 7 Saturday
    int32_t dayOfYear;  // 1-366
};

// false (and *out untouched) for a year above 9999, a month outside 1-12, a day that the month
// does not have, an hour above 23, a minute or second above 59.
bool MakeOleDate(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                 uint16_t second, double* out);

// false for dates outside 1 January 100 to 31 December 9999 (-657434 to 2958465) and for NaN.
// The time is rounded to the nearest second.
bool SplitOleDate(double date, OleDateFields* out);

}  // namespace kp

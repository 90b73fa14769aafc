#include "engine/core/ole_date.h"

#include <cmath>

namespace kp {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr double kMinDate = -657434.0;  // 1 January 100
constexpr double kMaxDate = 2958465.0;  // 31 December 9999

bool IsLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int64_t y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1 March of year 0 in the proleptic Gregorian calendar, counted in 400-year eras.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = yoe + era * 400 + (*m <= 2);
}

const int64_t kEpoch = DaysFromCivil(1899, 12, 30);

}  // namespace

bool MakeOleDate(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                 uint16_t second, double* out) {
    if (year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    const int64_t days = DaysFromCivil(year, month, day) - kEpoch;
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    if (out) *out = days >= 0 ? days + fraction : days - fraction;
    return true;
}

bool SplitOleDate(double date, OleDateFields* out) {
    if (!(date >= kMinDate && date <= kMaxDate)) return false;  // NaN fails too
    // Put the date on one straight line of seconds: the whole part counts days either way, the
    // fraction always runs forward from midnight of that day.
    const double whole = std::trunc(date);
    const double fraction = std::fabs(date - whole);
    const int64_t seconds = static_cast<int64_t>(whole) * kSecondsPerDay +
                            std::llround(fraction * static_cast<double>(kSecondsPerDay));
    int64_t dayNumber = seconds / kSecondsPerDay;
    int64_t secondOfDay = seconds % kSecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += kSecondsPerDay;
        --dayNumber;
    }
    int64_t y = 0;
    int m = 0;
    int d = 0;
    CivilFromDays(dayNumber + kEpoch, &y, &m, &d);
    if (out) {
        out->second = static_cast<int32_t>(secondOfDay % 60);
        out->minute = static_cast<int32_t>(secondOfDay / 60 % 60);
        out->hour = static_cast<int32_t>(secondOfDay / 3600);
        out->day = d;
        out->month = m;
        out->year = static_cast<int32_t>(y);
        // Day 0, 30 December 1899, was a Saturday.
        out->weekday = static_cast<int32_t>(((dayNumber - 1) % 7 + 7) % 7 + 1);
        out->dayOfYear = static_cast<int32_t>(dayNumber + kEpoch - DaysFromCivil(y, 1, 1) + 1);
    }
    return true;
}

}  // namespace kp

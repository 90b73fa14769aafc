// What the tests of the data files share: a clock that always tells the same minute, so a file
// the tests write has the same header bytes on every run and can be compared whole.
#pragma once

#include <ctime>

#include "settings/data_file.h"

namespace qzs {

// Hooks whose local time is the given minute (month 1-12); no progress callback.
inline DataFileHooks FixedClock(int year, int month, int day, int hour = 0, int minute = 0) {
    DataFileHooks hooks;
    hooks.local_time = [=] {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        return t;
    };
    return hooks;
}

}  // namespace qzs

// The six texts about the customer that every data file header carries and the user information
// dialog edits. Shift-JIS, blank padded; each field keeps one more byte for a terminating 0.
#pragma once

#include <array>

namespace qzs {

struct UserInformation {
    std::array<char, 25> user_name{};
    std::array<char, 25> person_in_charge{};
    std::array<char, 25> telephone_number{};  // the data file keeps its first 16 characters
    std::array<char, 11> area_code{};         // the data file keeps its first 8 characters
    std::array<char, 25> installation_date{};
    std::array<char, 73> memo{};
};

}  // namespace qzs

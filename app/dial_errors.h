// The texts of dial-up errors: the dialling layer's and the provider's numbers, and the telephony
// line errors that a refused dial may carry.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/dialog.h"

namespace plat {
class DialUpProvider;
}

namespace qzs::app {

// The fixed text of a number of the dialling layer; none for the provider's and unknown ones.
std::optional<std::string> KnownRasErrorText(int code);

// The text of an error number. The provider's numbers (600-999) take its text, any other
// unknown number "不明なエラー"; for those two the text is also shown in a "PPPエラー" box,
// after hide_connecting has hidden the connecting window.
std::string RasErrorText(int code, plat::DialUpProvider* provider, MessagePort* messages,
                         const std::function<void()>& hide_connecting);

// The constant name of a telephony line error (0x80000001-0x80000056 but 0x80000004 and
// 0x80000031); empty for any other code.
std::string LineErrorName(int code);

// Shows a line error in a box with the caption and answers the box's result; any other code is
// answered unchanged, without a box.
int LineErrorText(int code, std::string_view caption, MessagePort* messages);

}  // namespace qzs::app

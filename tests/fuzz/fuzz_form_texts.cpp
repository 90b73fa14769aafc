// The texts that reach the settings bridge from outside: Base64 credentials, URL paths, form
// values, posted command strings, display answers and button assignment texts. The first byte
// chooses the road, the rest is the text. Codecs must give back what they were given; the
// bridge must read nothing past a text's end and leave its records bounded.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "programming/state.h"
#include "settings/button_assignment.h"
#include "settings/command_strings.h"
#include "settings/data_image_startup.h"
#include "settings/text_codecs.h"

namespace {

qzs::ProgrammingState& State() {
    static const auto state = [] {
        auto s = std::make_unique<qzs::ProgrammingState>();
        qzs::InitDataImage(*s);
        return s;
    }();
    return *state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view c_text(text.c_str());  // up to the first 0 byte, as the codecs read
    qzs::ProgrammingState& state = State();
    switch (data[0] % 7) {
        case 0:
            if (qzs::Base64Decode(qzs::Base64Encode(text)) != c_text) __builtin_trap();
            (void)qzs::Base64Decode(text);
            break;
        case 1:
            if (qzs::UrlDecode(qzs::UrlEncode(text)) != c_text) __builtin_trap();
            (void)qzs::UrlDecode(text);
            break;
        case 2:
            (void)qzs::SjisToJis(text);
            break;
        case 3: {
            std::string command = text;
            std::string values;
            qzs::RunCommandAndParse(state, 1, command, &values);
            if (command.size() > 63) __builtin_trap();
            break;
        }
        case 4: {
            qzs::ApplyKeyAssignment(state, text, (size & 1) != 0);
            std::string label, code;
            qzs::GetKeyAssignmentText(state, text, label, code);
            if (label.size() > 16) __builtin_trap();
            break;
        }
        case 5: {
            std::string out;
            if (qzs::ParseDisplayFields(state, text, out) < 1) __builtin_trap();
            break;
        }
        default:
            if (qzs::UrlDecodeValue(text, 31).size() > 31) __builtin_trap();
            break;
    }
    return 0;
}

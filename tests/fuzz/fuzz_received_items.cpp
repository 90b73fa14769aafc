// The texts of the elements the main unit sends, applied as the uploads apply them: dset items
// turned into commands and run, button items turned into assignments, phone-book rows converted
// into the local CSV. The first byte chooses the road (and the command of a dset element), the
// rest is the element's text. Nothing may read or write past a column or a table.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "settings/main_unit_files.h"

namespace {

// The commands of every dset file's range, a few of each kind of item.
constexpr int kCommands[] = {0,   1,   9,   30,  80,  81, 82,   83,   85,   163,  164,  310,
                             361, 615, 619, 690, 860, 99, 9203, 9306, 9401, 9419, 9504, 9525};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::unique_ptr<qzs::ProgrammingState> state = [] {
        auto s = std::make_unique<qzs::ProgrammingState>();
        qzs::InitDataImage(*s);
        return s;
    }();
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<std::string> elements{text};
    std::FILE* out = std::fopen("/dev/null", "wb");
    int skipped = 0;
    const unsigned road = data[0] % 8;
    switch (road) {
        case 0:
        case 1:
        case 2: {
            const int command = kCommands[(data[0] / 8) % std::size(kCommands)];
            qzs::ApplyDsetElement(*state, command, text, out, road == 1 ? 1 : 0, &skipped);
            break;
        }
        case 3:
            qzs::ApplyOneTouchXml(*state, elements, out, &skipped);
            break;
        case 4:
        case 5:
            qzs::ApplyNandemoXml(*state, elements, out, road == 4 ? 1 : 0, &skipped);
            break;
        case 6:
            qzs::ConvertSysTanXml(elements, out, data[0] & 0x80 ? 1 : 0);
            break;
        default:
            qzs::ConvertTelTanXml(elements, out, data[0] & 0x80 ? 1 : 0);
            break;
    }
    if (out != nullptr) std::fclose(out);
    if (skipped < 0) __builtin_trap();
    return 0;
}

// Form posts and page templates: a post body comes from any page the browser was shown, and a
// template is read whole from the pages folder. The first byte chooses the road, the rest is
// the text. Neither may read past the text or write past its buffers; a filled page is never
// shorter than the text it came from minus the value attributes it drops.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "settings/form_post.h"
#include "settings/form_template.h"

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
    qzs::ProgrammingState& state = State();
    state.duplicate_check_flag = data[0] & 1;
    if ((data[0] & 2) == 0) {
        if (qzs::ApplyFormPost(state, text) < -1) __builtin_trap();
        return 0;
    }
    char* buffer = nullptr;
    std::size_t filled = 0;
    std::FILE* out = ::open_memstream(&buffer, &filled);
    if (out == nullptr) return 0;
    if (qzs::FillFormTemplate(state, text, out) != 0) __builtin_trap();
    std::fclose(out);
    std::free(buffer);
    return 0;
}

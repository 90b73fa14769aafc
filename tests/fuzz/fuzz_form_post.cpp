// Form posts and page templates: a post body comes from any page the browser was shown, and a
// template is read whole from the pages folder. The first byte chooses the road, the rest is
// the text. Neither may read past the text or write past its buffers; a filled page is never
// shorter than the text it came from minus the value attributes it drops. The rows a post is
// split into must be the rows a plain search of the body finds, field by field.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The row rule searched the plain way, field after field: the reference for the split body.
bool SearchedRow(const qzs::FormFields& fields, std::size_t i, std::size_t n,
                 std::vector<std::size_t>& values) {
    values.clear();
    const qzs::FormField& first = fields[i];
    if (first.name.empty() || first.name.back() != '1' || !first.has_value) return false;
    const std::size_t n_at = first.name.find('n');
    const std::string_view prefix = n_at != std::string_view::npos && n_at < 15
                                        ? first.name.substr(0, n_at)
                                        : first.name;
    values.push_back(first.value);
    std::size_t j = i + 1;
    for (std::size_t k = 2; k <= n; ++k) {
        bool found = false;
        for (; j < fields.size(); ++j) {
            const qzs::FormField& f = fields[j];
            if (f.name.ends_with("n1")) return false;
            if (f.has_value && f.name.starts_with(prefix)) {
                values.push_back(f.value);
                found = true;
                ++j;
                break;
            }
        }
        if (!found) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    qzs::ProgrammingState& state = State();
    state.duplicate_check_flag = data[0] & 1;
    if ((data[0] & 2) == 0) {
        if (qzs::ApplyFormPost(state, text) < -1) __builtin_trap();
        if (const std::optional<qzs::FormFields> fields = qzs::FormFields::Split(text, 64)) {
            std::vector<std::size_t> expected;
            qzs::FormRow row;
            for (std::size_t i = 0; i < fields->size(); ++i) {
                for (std::size_t n = 1; n <= 4; ++n) {
                    std::size_t next = 0;
                    const bool found = fields->CollectRow(i, n, row, next);
                    if (found != SearchedRow(*fields, i, n, expected) ||
                        (found && row.values != expected)) {
                        __builtin_trap();
                    }
                }
            }
        }
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

#include "net/state_form_services.h"

#include "settings/form_post.h"
#include "settings/form_template.h"
#include "settings/speed_dial.h"

namespace qzs::net {

void StateFormServices::ApplyFormPost(const FormFields& fields) {
    // The worker answers with the page whatever the post did; a refused button assignment has
    // already kept what was applied before it.
    (void)qzs::ApplyFormPost(state_, fields);
}

DuplicateReport StateFormServices::Duplicates() {
    ApplicationLock::Guard guard(state_.lock);
    const DuplicateSpeedDialList& list = state_.duplicate_speed_dial_list;
    DuplicateReport report;
    report.count = list.count;
    if (list.count > 0) {
        report.first = list.entries[0][0];
        report.second = list.entries[0][1];
        report.telephone = list.telephone;
    }
    return report;
}

int StateFormServices::DuplicateCheckFlag() {
    ApplicationLock::Guard guard(state_.lock);
    return state_.duplicate_check_flag;
}

void StateFormServices::CommitSpeedDialPage(int flag, int page, int scope) {
    qzs::CommitSpeedDialPage(state_, flag, page, scope);
}

void StateFormServices::FillFormTemplate(std::string_view template_text, std::FILE* out) {
    qzs::FillFormTemplate(state_, template_text, out);
}

}  // namespace qzs::net

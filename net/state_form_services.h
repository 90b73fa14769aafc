// The web server's form services over the program's ProgrammingState: posts are applied and
// pages filled by the settings forms, and the speed-dial rows kept in step with the pages.
#pragma once

#include "net/http_server.h"

namespace qzs::net {

class StateFormServices : public FormServices {
  public:
    explicit StateFormServices(ProgrammingState& state) : state_(state) {}

    void ApplyFormPost(const FormFields& fields) override;
    // The first pair of rows noted as duplicates by the last post.
    DuplicateReport Duplicates() override;
    int DuplicateCheckFlag() override;
    void CommitSpeedDialPage(int flag, int page, int scope) override;
    void FillFormTemplate(std::string_view template_text, std::FILE* out) override;

  private:
    ProgrammingState& state_;
};

}  // namespace qzs::net

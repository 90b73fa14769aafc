#include "engine/preview/page_list.h"

#include <stdlib.h>
#include <unistd.h>

#include "engine/preview/file_records.h"

namespace kp::preview {

PreviewPageList::~PreviewPageList() {
    Clear();
}

int32_t PreviewPageList::Open(const std::string& directory) {
    std::lock_guard guard(lock_);
    Clear();
    directory_ = directory;
    if (directory_.empty()) {
        const char* tmp = getenv("TMPDIR");
        directory_ = tmp && *tmp ? tmp : "/tmp";
    }
    // Records grow with the pages; reserving the first thousands keeps recording flat.
    records_.reserve(1024);
    open_ = true;
    return 0;
}

int32_t PreviewPageList::Record(const PageWriter& write, const PreviewPageRecord& paper,
                                int32_t outlineParent, const std::u16string* heading, int* count) {
    std::lock_guard guard(lock_);
    if (!open_) return kPageListNotOpen;
    PreviewPageRecord record = paper;
    record.outlineParent = outlineParent;
    record.heading = heading && !heading->empty() ? *heading : DefaultHeading(Count() + 1);
    std::string path = directory_ + "/KPXXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) return kPageNoTempName;
    close(fd);
    if (const int32_t rc = write(path); rc != 0) {
        unlink(path.c_str());
        return rc;
    }
    record.file = std::move(path);
    records_.push_back(std::move(record));
    if (count) *count = Count();
    return 0;
}

int32_t PreviewPageList::Get(int n, PreviewPageRecord* record) const {
    std::lock_guard guard(lock_);
    if (!open_) return kPageListNotOpen;
    if (n < 1 || n > Count()) return kPageOutOfRange;
    *record = records_[size_t(n - 1)];
    return 0;
}

int PreviewPageList::Count() const {
    std::lock_guard guard(lock_);
    return int(records_.size());
}

int32_t PreviewPageList::Clear() {
    std::lock_guard guard(lock_);
    for (const PreviewPageRecord& r : records_) unlink(r.file.c_str());
    records_.clear();
    return open_ ? 0 : kPageListNotOpen;
}

}  // namespace kp::preview

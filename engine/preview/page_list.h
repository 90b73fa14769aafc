// The recorded pages of a preview or viewer: one record per page naming a temporary report file
// that holds the page as it was when it was handed over, with its outline data and paper. A page
// file lives exactly as long as its record: clearing or destroying the list deletes them all.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kp::preview {

inline constexpr int32_t kPageListNotOpen = -9;
inline constexpr int32_t kPageNoTempName = -14009;
inline constexpr int32_t kPageOutOfRange = -14015;
inline constexpr int32_t kPageFileMissing = -14016;

struct PreviewPageRecord {
    std::string file;            // the page's temporary report file
    int32_t outlineParent = -1;  // -1 no outline entry, 0 top level, n child of page n
    std::u16string heading;
    int16_t orientation = 1;
    int16_t paperSize = 0;
    int16_t paperWidth = 0;   // 0.1 mm
    int16_t paperLength = 0;  // 0.1 mm
};

class PreviewPageList {
  public:
    PreviewPageList() = default;
    ~PreviewPageList();
    PreviewPageList(const PreviewPageList&) = delete;
    PreviewPageList& operator=(const PreviewPageList&) = delete;

    // Takes the folder for the page files; an empty one means $TMPDIR, else /tmp. Reopening drops
    // the pages (and their files) of the previous opening.
    int32_t Open(const std::string& directory);
    bool IsOpen() const { return open_; }
    const std::string& Directory() const { return directory_; }

    // Writes a page's report into a new file named "KPXXXXXX" in the folder and appends its
    // record: write is the report's save to a path. The heading defaults to "%dページ" with the
    // page's number; on failure the file is gone and nothing is appended.
    using PageWriter = std::function<int32_t(const std::string& path)>;
    int32_t Record(const PageWriter& write, const PreviewPageRecord& paper, int32_t outlineParent,
                   const std::u16string* heading, int* count);

    // Page n, from 1; kPageOutOfRange outside 1..Count().
    int32_t Get(int n, PreviewPageRecord* record) const;
    int Count() const;
    // Deletes every page file and forgets the records.
    int32_t Clear();

  private:
    mutable std::recursive_mutex lock_;
    bool open_ = false;
    std::string directory_;
    std::vector<PreviewPageRecord> records_;
};

}  // namespace kp::preview

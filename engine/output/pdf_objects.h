// Objects that a part of an exported document (the fonts) hands to the PDF writer as data: each
// object's dictionary, with its references to the other objects of the same list by their
// place in it, and the data of a stream. The writer alone numbers objects, records their
// offsets and deflates streams, so the cross-reference table has one owner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kp {

namespace pdf_code {
inline constexpr int kOk = 0;
}  // namespace pdf_code

struct PdfObject {
    // Text, then "N 0 R" for the object at ref in the same list when ref is not negative.
    struct Part {
        std::string text;
        int ref = -1;
    };

    // A dictionary object; the writer puts "N 0 obj\r" before and "\rendobj\r" after it.
    std::vector<Part> dictionary;
    // A stream object instead: the data before deflating; the writer writes its dictionary
    // (filter and length, and /Length1, the length before deflating, when asked for).
    bool stream = false;
    bool length1 = false;
    std::string data;
    // A number taken earlier (a font object the pages already name); without one the writer
    // numbers the object in list order.
    std::optional<uint32_t> numbered;

    PdfObject& Text(std::string text) {
        dictionary.push_back({std::move(text), -1});
        return *this;
    }
    PdfObject& Ref(int index) {
        dictionary.push_back({std::string(), index});
        return *this;
    }
};

// The fonts of a document as the writer needs them: the object each page names a font by
// ("/F%04d"), and at the end of the file each font's objects. The fonts are the document's; the
// writer only asks.
class PdfFontObjects {
  public:
    virtual int count() const = 0;
    virtual uint32_t object(int index) const = 0;
    virtual int Plan(int index, std::vector<PdfObject>& objects) = 0;

  protected:
    ~PdfFontObjects() = default;
};

}  // namespace kp

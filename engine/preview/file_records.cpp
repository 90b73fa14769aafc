#include "engine/preview/file_records.h"

#include <cstdio>
#include <cstring>
#include <variant>

#include "engine/core/container.h"
#include "engine/core/container_codes.h"
#include "engine/core/result_codes.h"

namespace kp::preview {
namespace {

template <class T>
using FieldRef = std::variant<std::u16string T::*, int32_t T::*, int16_t T::*, double T::*>;

template <class T>
struct Field {
    int32_t id;
    FieldRef<T> member;
};

// In the order the records are written.
const Field<DocumentInfo> kDocumentFields[] = {
    {3002, &DocumentInfo::title},          {3008, &DocumentInfo::subTitle},
    {3009, &DocumentInfo::keywords},       {3007, &DocumentInfo::creator},
    {3004, &DocumentInfo::password},       {3005, &DocumentInfo::protect},
    {3006, &DocumentInfo::noPrint},        {3003, &DocumentInfo::author},
    {3038, &DocumentInfo::indexVisible},   {3044, &DocumentInfo::flag},
    {3010, &DocumentInfo::firstPageValue}, {3011, &DocumentInfo::updateDate},
};

const Field<FilePageRecord> kPageFields[] = {
    {3012, &FilePageRecord::reserved},    {3013, &FilePageRecord::outlineParent},
    {3036, &FilePageRecord::heading},     {3014, &FilePageRecord::reserved2},
    {3015, &FilePageRecord::orientation}, {3016, &FilePageRecord::paperSize},
    {3017, &FilePageRecord::paperWidth},  {3018, &FilePageRecord::paperLength},
};

constexpr int32_t kFontName = 3100;
constexpr int32_t kFontData = 3101;

std::vector<uint8_t> StringValue(const std::u16string& s) {
    std::vector<uint8_t> bytes;
    if (s.empty()) return bytes;  // an absent string: length 0, no bytes
    bytes.reserve(s.size() * 2 + 2);
    for (char16_t c : s) {
        bytes.push_back(uint8_t(c & 0xFF));
        bytes.push_back(uint8_t(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

template <class V>
std::vector<uint8_t> NumberValue(V v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof v);
    std::vector<uint8_t> bytes(sizeof v);
    for (size_t i = 0; i < sizeof v; ++i) bytes[i] = uint8_t(bits >> (8 * i));
    return bytes;
}

int32_t WriteValue(EngineStream* stream, int32_t id, const std::vector<uint8_t>& value) {
    const TaggedRecordHeader header{id, int32_t(value.size())};
    return WriteTaggedRecord(stream, header, value.empty() ? nullptr : value.data());
}

template <class T, size_t N>
int32_t WriteFields(EngineStream* stream, const T& target, const Field<T> (&fields)[N]) {
    for (const Field<T>& f : fields) {
        const std::vector<uint8_t> value = std::visit(
            [&](auto member) -> std::vector<uint8_t> {
                using M = std::remove_cvref_t<decltype(target.*member)>;
                if constexpr (std::is_same_v<M, std::u16string>)
                    return StringValue(target.*member);
                else
                    return NumberValue(target.*member);
            },
            f.member);
        if (const int32_t rc = WriteValue(stream, f.id, value); rc != 0) return rc;
    }
    return 0;
}

// Walks the records of one stream, knowing how much of it is left so that no length is trusted
// beyond it.
class RecordReader {
  public:
    explicit RecordReader(EngineStream* stream) : stream_(stream) {}

    int32_t Init() {
        uint32_t here = 0;
        uint32_t end = 0;
        int32_t rc = stream_->Seek(0, kSeekCur, &here);
        if (rc == 0) rc = stream_->Seek(0, kSeekEnd, &end);
        if (rc == 0) rc = stream_->Seek(int32_t(here), kSeekSet, nullptr);
        if (rc != 0) return Mapped(rc);
        rest_ = end > here ? end - here : 0;
        return 0;
    }

    // 1 with a record's header, 0 at the end of the stream, or a failure.
    int32_t Next(TaggedRecordHeader* header) {
        if (rest_ == 0) return 0;
        if (rest_ < sizeof(TaggedRecordHeader)) return kFileDamaged;
        uint8_t raw[8];
        if (const int32_t rc = ReadExact(stream_, raw, 8); rc != 0) return Mapped(rc);
        rest_ -= 8;
        header->id = int32_t(Le32(raw));
        const uint32_t length = Le32(raw + 4);
        if (length > rest_) return kFileDamaged;
        header->length = int32_t(length);
        return 1;
    }

    int32_t Read(uint32_t length, std::vector<uint8_t>* value) {
        value->resize(length);
        if (length == 0) return 0;
        if (const int32_t rc = ReadExact(stream_, value->data(), length); rc != 0)
            return Mapped(rc);
        rest_ -= length;
        return 0;
    }

    int32_t Skip(uint32_t length) {
        if (length == 0) return 0;
        if (const int32_t rc = stream_->Seek(int32_t(length), kSeekCur, nullptr); rc != 0)
            return Mapped(rc);
        rest_ -= length;
        return 0;
    }

  private:
    static uint32_t Le32(const uint8_t* p) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    // A stream already open elsewhere, or a bad argument, means the container is not usable.
    static int32_t Mapped(int32_t rc) {
        if (rc == stream_code::kStreamAlreadyOpen || rc == stream_code::kBadArgument)
            return rc::kNotReady;
        if (rc == stream_code::kEndOfStream || rc == stream_code::kNotContainer)
            return kFileDamaged;
        return rc;
    }

    EngineStream* stream_;
    uint32_t rest_ = 0;
};

std::u16string StringFrom(const std::vector<uint8_t>& bytes) {
    std::u16string s;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t c = char16_t(bytes[i] | bytes[i + 1] << 8);
        if (c == 0) break;
        s.push_back(c);
    }
    return s;
}

template <class V>
V NumberFrom(const std::vector<uint8_t>& bytes) {
    uint64_t bits = 0;
    for (size_t i = 0; i < bytes.size() && i < sizeof(V); ++i)
        bits |= uint64_t(bytes[i]) << (8 * i);
    V v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

template <class T, size_t N>
int32_t ReadFields(EngineStream* stream, T* target, const Field<T> (&fields)[N]) {
    RecordReader reader(stream);
    if (const int32_t rc = reader.Init(); rc != 0) return rc;
    TaggedRecordHeader header{};
    std::vector<uint8_t> value;
    for (;;) {
        int32_t rc = reader.Next(&header);
        if (rc <= 0) return rc;
        const Field<T>* field = nullptr;
        for (const Field<T>& f : fields)
            if (f.id == header.id) field = &f;
        const uint32_t length = uint32_t(header.length);
        if (!field || length == 0) {
            if ((rc = reader.Skip(length)) != 0) return rc;
            continue;
        }
        // A number reads its field's width; whatever a longer record carries beyond it is skipped.
        const bool isString = std::holds_alternative<std::u16string T::*>(field->member);
        uint32_t take = length;
        if (!isString) {
            const uint32_t width = std::visit(
                [](auto member) -> uint32_t { return sizeof(std::declval<T>().*member); },
                field->member);
            take = std::min(length, width);
        }
        if ((rc = reader.Read(take, &value)) != 0) return rc;
        if ((rc = reader.Skip(length - take)) != 0) return rc;
        std::visit(
            [&](auto member) {
                using M = std::remove_cvref_t<decltype(target->*member)>;
                if constexpr (std::is_same_v<M, std::u16string>)
                    target->*member = StringFrom(value);
                else
                    target->*member = NumberFrom<M>(value);
            },
            field->member);
    }
}

}  // namespace

int32_t WriteDocumentInfo(EngineStream* stream, const DocumentInfo& info) {
    return WriteFields(stream, info, kDocumentFields);
}

int32_t WritePageRecord(EngineStream* stream, const FilePageRecord& record) {
    return WriteFields(stream, record, kPageFields);
}

int32_t WriteEmbeddedFont(EngineStream* stream, int index, const std::vector<uint8_t>& subset) {
    char name[32];
    std::snprintf(name, sizeof name, "EmbedFont%04d", index);
    const std::u16string wide(name, name + std::strlen(name));
    if (const int32_t rc = WriteValue(stream, kFontName, StringValue(wide)); rc != 0) return rc;
    return WriteValue(stream, kFontData, subset);
}

int32_t ReadDocumentInfo(EngineStream* stream, DocumentInfo* info) {
    return ReadFields(stream, info, kDocumentFields);
}

int32_t ReadPageRecord(EngineStream* stream, FilePageRecord* record) {
    return ReadFields(stream, record, kPageFields);
}

int32_t ReadEmbeddedFonts(EngineStream* stream, size_t maxBytes, std::vector<EmbeddedFont>* fonts) {
    RecordReader reader(stream);
    if (const int32_t rc = reader.Init(); rc != 0) return rc;
    TaggedRecordHeader header{};
    std::vector<uint8_t> value;
    std::u16string name;
    size_t total = 0;
    for (;;) {
        int32_t rc = reader.Next(&header);
        if (rc <= 0) return rc;
        const uint32_t length = uint32_t(header.length);
        if (header.id == kFontName) {
            if ((rc = reader.Read(length, &value)) != 0) return rc;
            name = StringFrom(value);
        } else if (header.id == kFontData) {
            if (length > maxBytes - total) return kFileDamaged;
            total += length;
            EmbeddedFont font;
            font.name = std::move(name);
            name.clear();
            if ((rc = reader.Read(length, &font.data)) != 0) return rc;
            fonts->push_back(std::move(font));
        } else if ((rc = reader.Skip(length)) != 0) {
            return rc;
        }
    }
}

std::u16string DefaultHeading(int page) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", page);
    std::u16string s(digits, digits + std::strlen(digits));
    s += u"ページ";
    return s;
}

}  // namespace kp::preview

#include "reportctrl/control_data.h"

#include <cstring>

namespace kpctrl {

namespace {

void Put16(std::vector<uint8_t>* out, uint16_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// A short read is bad data; a stream that fails for another reason says so itself.
int32_t ReadExact(kp::EngineStream* stream, void* buffer, uint32_t count) {
    uint32_t got = 0;
    const int32_t code = stream->Read(buffer, count, &got);
    if (got == count) return code == kp::stream_code::kEndOfStream ? 0 : code;
    if (code == 0 || code == kp::stream_code::kFailure || code == kp::stream_code::kEndOfStream) {
        return kBadData;
    }
    return code;
}

}  // namespace

void RecordWriter::Header(int32_t id, uint32_t length) {
    Put32(&bytes_, static_cast<uint32_t>(id));
    Put32(&bytes_, length);
}

void RecordWriter::Int16(int32_t id, int16_t value) {
    Header(id, 2);
    Put16(&bytes_, static_cast<uint16_t>(value));
}

void RecordWriter::Int32(int32_t id, int32_t value) {
    Header(id, 4);
    Put32(&bytes_, static_cast<uint32_t>(value));
}

void RecordWriter::UInt32(int32_t id, uint32_t value) {
    Header(id, 4);
    Put32(&bytes_, value);
}

void RecordWriter::String(int32_t id, std::u16string_view text) {
    Header(id, static_cast<uint32_t>(2 * text.size() + 2));
    for (char16_t c : text) Put16(&bytes_, c);
    Put16(&bytes_, 0);
}

std::vector<uint8_t> EncodeControlData(uint16_t classCode, const RecordWriter& records) {
    std::vector<uint8_t> out;
    out.reserve(kDataHeaderSize + records.bytes().size());
    Put16(&out, kDataFormat);
    Put16(&out, classCode);
    Put32(&out, static_cast<uint32_t>(records.bytes().size()));
    out.insert(out.end(), records.bytes().begin(), records.bytes().end());
    return out;
}

int32_t ReadControlData(kp::EngineStream* stream, uint16_t classCode, std::vector<uint8_t>* body) {
    if (stream == nullptr || body == nullptr) return kp::rc::kBadPointer;
    uint8_t header[kDataHeaderSize];
    if (const int32_t code = ReadExact(stream, header, sizeof header); code != 0) return code;
    const uint16_t format = Get16(header);
    if (format > kDataFormat) return kNewerFormat;
    const uint32_t count = Get32(header + 4);
    if (format == 0 || Get16(header + 2) != classCode || count > kMaxDataBytes) return kBadData;
    body->assign(count, 0);
    if (count == 0) return 0;
    return ReadExact(stream, body->data(), count);
}

int32_t ForEachRecord(std::span<const uint8_t> body,
                      const std::function<int32_t(int32_t id, std::span<const uint8_t>)>& visit) {
    size_t at = 0;
    bool first = true;
    int32_t previous = 0;
    while (at < body.size()) {
        if (body.size() - at < kRecordHeaderSize) return kBadData;
        const auto id = static_cast<int32_t>(Get32(&body[at]));
        const uint32_t length = Get32(&body[at + 4]);
        at += kRecordHeaderSize;
        if (length > body.size() - at) return kBadData;
        if (!first && id <= previous) return kBadData;
        first = false;
        previous = id;
        if (const int32_t code = visit(id, body.subspan(at, length)); code != 0) return code;
        at += length;
    }
    return 0;
}

bool DecodeInt16(std::span<const uint8_t> value, int16_t* out) {
    if (value.size() != 2) return false;
    *out = static_cast<int16_t>(Get16(value.data()));
    return true;
}

bool DecodeInt32(std::span<const uint8_t> value, int32_t* out) {
    if (value.size() != 4) return false;
    *out = static_cast<int32_t>(Get32(value.data()));
    return true;
}

bool DecodeUInt32(std::span<const uint8_t> value, uint32_t* out) {
    if (value.size() != 4) return false;
    *out = Get32(value.data());
    return true;
}

bool DecodeString(std::span<const uint8_t> value, std::u16string* out) {
    if (value.size() < 2 || value.size() % 2 != 0) return false;
    const size_t units = value.size() / 2 - 1;
    std::u16string text(units, u'\0');
    for (size_t i = 0; i < units; ++i) {
        text[i] = static_cast<char16_t>(Get16(&value[2 * i]));
        if (text[i] == 0) return false;
    }
    if (Get16(&value[2 * units]) != 0) return false;
    *out = std::move(text);
    return true;
}

int32_t WriteAll(kp::EngineStream* stream, std::span<const uint8_t> bytes) {
    if (stream == nullptr) return kp::rc::kBadPointer;
    uint32_t written = 0;
    const int32_t code = stream->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
    if (code != 0) return code;
    return written == bytes.size() ? 0 : kWriteFailed;
}

}  // namespace kpctrl

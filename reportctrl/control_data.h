// The data a control saves: a header (format, class code, byte count) and then tagged records,
// one per settable property, in ascending id. The records carry the property's member id; fixed
// values are little-endian, strings UTF-16 with their terminator.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/byte_stream.h"
#include "engine/core/result_codes.h"

namespace kpctrl {

inline constexpr uint16_t kDataFormat = 1;
inline constexpr size_t kDataHeaderSize = 8;
inline constexpr size_t kRecordHeaderSize = 8;
// No control writes more than this (a text of 65,535 code units and a face name fit well
// inside); a larger count is refused before anything is read or allocated.
inline constexpr uint32_t kMaxDataBytes = 1u << 20;

// Class codes in the header.
inline constexpr uint16_t kClassCodeText = 1;
inline constexpr uint16_t kClassCodeLine = 2;
inline constexpr uint16_t kClassCodeBox = 3;
inline constexpr uint16_t kClassCodeGroup = 4;

// Answers of Load besides 0 and the stream's own failures.
inline constexpr int32_t kNewerFormat = -120;    // the control's data kept as it was
inline constexpr int32_t kBadData = -19001;      // malformed or truncated data
inline constexpr int32_t kWriteFailed = -19003;  // the stream took fewer bytes than given

// Builds the records of one control.
class RecordWriter {
  public:
    void Int16(int32_t id, int16_t value);
    void Int32(int32_t id, int32_t value);
    void UInt32(int32_t id, uint32_t value);
    void String(int32_t id, std::u16string_view text);

    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    void Header(int32_t id, uint32_t length);
    std::vector<uint8_t> bytes_;
};

// The whole saved form: header and records.
std::vector<uint8_t> EncodeControlData(uint16_t classCode, const RecordWriter& records);

// Reads the header and exactly the announced bytes from the stream, never more: the body, or
// kNewerFormat (only the header read) / kBadData / the stream's failure.
int32_t ReadControlData(kp::EngineStream* stream, uint16_t classCode, std::vector<uint8_t>* body);

// Walks the records of a body: ids must ascend strictly and every length must lie inside the
// body. visit answers 0 to go on; its other answers end the walk and are the result.
int32_t ForEachRecord(std::span<const uint8_t> body,
                      const std::function<int32_t(int32_t id, std::span<const uint8_t>)>& visit);

// Values of exactly their width; false for any other length.
bool DecodeInt16(std::span<const uint8_t> value, int16_t* out);
bool DecodeInt32(std::span<const uint8_t> value, int32_t* out);
bool DecodeUInt32(std::span<const uint8_t> value, uint32_t* out);
// An even length of at least 2 whose last code unit, and only that one, is 0.
bool DecodeString(std::span<const uint8_t> value, std::u16string* out);

// Writes all bytes: 0, the stream's failure, or kWriteFailed for a short write.
int32_t WriteAll(kp::EngineStream* stream, std::span<const uint8_t> bytes);

}  // namespace kpctrl

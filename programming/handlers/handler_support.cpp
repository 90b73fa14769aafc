#include "programming/handlers/handler_support.h"

namespace qzs {

const CommandDescriptor& CurrentDescriptor(const ProgrammingState& state) {
    return ActiveCommandTable(state).At(state.current_command.index);
}

std::uint8_t* ResolvePlace(DataImage& image, const BytePlace& place, std::uint8_t pointer_entry) {
    switch (place.kind) {
        case BytePlace::Kind::kBlock:
            return image.BlockByte(place.block, place.offset);
        case BytePlace::Kind::kPointer:
            return DataBytePointer(image, unsigned{pointer_entry} + place.offset);
        case BytePlace::Kind::kSetting:
            if (place.setting >= SettingByte::kCount) return nullptr;
            return &image.Setting(place.setting);
    }
    return nullptr;
}

bool SetMaskBits(std::uint8_t& byte, std::uint8_t mask, std::uint8_t value) {
    if (value != 0) {
        byte = static_cast<std::uint8_t>(byte | mask);
        return (byte & mask) == mask;
    }
    byte = static_cast<std::uint8_t>(byte & ~mask);
    return (byte & mask) == 0;
}

void AppendMaskFlag(TerminalRecord& record, std::uint8_t byte, std::uint8_t mask) {
    record.line.Append((byte & mask) != 0 ? '1' : '0');
}

void CopyLineText(const TerminalRecord& record, std::size_t position,
                  std::span<std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(record.line.At(position + i));
    }
}

void AppendStoredText(TerminalRecord& record, std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) record.line.Append(b < 0x20 ? ' ' : static_cast<char>(b));
}

std::span<std::uint8_t> BlockBytes(DataImage& image, int block, std::size_t offset,
                                   std::size_t count) {
    auto bytes = image.Block(block);
    if (offset > bytes.size() || count > bytes.size() - offset) return {};
    return bytes.subspan(offset, count);
}

}  // namespace qzs

// Loads arbitrary bytes as the saved data of each control class: a load either fails and changes
// nothing, or succeeds, and what the control then saves loads again into the same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/byte_stream.h"
#include "reportctrl/controls.h"

namespace {

using namespace kp;

struct Control {
    explicit Control(const InterfaceId& id) {
        void* out = nullptr;
        if (kpctrl::CreateControl(&id, &iid::kControlPersist, &out) != 0) std::abort();
        persist = static_cast<ControlPersist*>(static_cast<plat::Unknown*>(out));
    }
    ~Control() { persist->Release(); }
    std::vector<uint8_t> Saved() {
        ByteStream stream;
        uint32_t size = 0;
        if (persist->GetDataSize(&size) != 0 || persist->Save(&stream) != 0) std::abort();
        std::span<const uint8_t> block;
        stream.GetHGlobal(&block);
        if (block.size() != size) std::abort();
        return {block.begin(), block.end()};
    }
    int32_t Load(std::span<const uint8_t> bytes) {
        ByteStream stream;
        stream.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
        stream.Seek(0, kSeekSet, nullptr);
        return persist->Load(&stream);
    }
    ControlPersist* persist = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    for (const InterfaceId& id :
         {ctrlclass::kText, ctrlclass::kLine, ctrlclass::kBox, ctrlclass::kGroup}) {
        Control control(id);
        const std::vector<uint8_t> before = control.Saved();
        if (control.Load(bytes) != 0) {
            if (control.Saved() != before) std::abort();
            continue;
        }
        const std::vector<uint8_t> saved = control.Saved();
        Control again(id);
        if (again.Load(saved) != 0 || again.Saved() != saved) std::abort();
    }
    return 0;
}

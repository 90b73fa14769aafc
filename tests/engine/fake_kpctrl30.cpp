// Stands in for the report control library in the test that loads the built engine: the engine
// only needs the library to load and to carry its two exports.
#include <cstdint>

extern "C" {

__attribute__((visibility("default"))) int32_t WGetClassInfo(void** out) {
    if (out == nullptr) return -4;
    *out = nullptr;
    return -2;
}

__attribute__((visibility("default"))) int32_t WCreateObject(const void*, const void*, void** out) {
    if (out != nullptr) *out = nullptr;
    return -2;
}
}

// The short ASCII tag that each child object class writes in its constructor and that every use
// compares first. Live tags are also listed in one table, so that a pointer handed in by a host
// is only ever compared against objects known to exist: a stale or foreign pointer fails the
// check instead of being read.
#pragma once

#include <cstdint>
#include <string_view>

namespace kp {

namespace signature {
inline constexpr std::string_view kReport = "KPReport30";
inline constexpr std::string_view kObjects = "KPObjects30";
inline constexpr std::string_view kObject = "KPObject30";
inline constexpr std::string_view kDisplay = "KPDisplay30";
inline constexpr std::string_view kFile = "KPFile30";
}  // namespace signature

class ObjectSignature {
  public:
    static constexpr size_t kMaxLength = 16;

    // owner is the address callers hold: the object's plat::Unknown base, which is also its
    // ScriptableObject base (single inheritance, so a Variant's pdispVal can be checked as is). The
    // tag is stored without a terminator. Tags longer than kMaxLength are cut.
    ObjectSignature(const void* owner, std::string_view tag);
    ~ObjectSignature();
    ObjectSignature(const ObjectSignature&) = delete;
    ObjectSignature& operator=(const ObjectSignature&) = delete;

    // Character-by-character comparison of the stored tag; passes when nothing differs.
    bool Matches(std::string_view tag) const;

  private:
    const void* owner_;
    char tag_[kMaxLength];
    uint8_t length_;
};

// True when object is a live engine object whose signature equals tag; false for null, for a
// pointer that is not a live signed object and for another tag.
bool CheckObjectSignature(const void* object, std::string_view tag);

// Frees the table of live signatures when the library is unloaded (ReleaseModuleMemory).
void ReleaseObjectSignatureTable();

}  // namespace kp

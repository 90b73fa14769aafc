// The one interface every engine object speaks to its host and to the other engine objects:
// reference counting, interface lookup by 8-byte id, class information and a single Invoke that
// reaches every property and method by member id, with arguments and result in Variants.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>

#include "engine/core/result_codes.h"
#include "platform/automation/automation.h"

namespace kp {

using plat::InterfaceId;

// Interface ids of the engine.
namespace iid {
inline constexpr InterfaceId kApplication{0x00010000, 0x00000100};  // also WCreateObject's class
inline constexpr InterfaceId kApplicationEvents{0x00010000, 0x00000101};
inline constexpr InterfaceId kPrinterJob{0x00010000, 0x10000100};
inline constexpr InterfaceId kPreview{0x00010000, 0x20000100};
inline constexpr InterfaceId kFileObject{0x00010000, 0x30000100};
inline constexpr InterfaceId kReport{0x00010000, 0x40000100};
inline constexpr InterfaceId kLayerCollection{0x00010000, 0x40100100};
inline constexpr InterfaceId kLayer{0x00010000, 0x40200100};
inline constexpr InterfaceId kObjectCollection{0x00010000, 0x40300100};
inline constexpr InterfaceId kDrawingObject{0x00010000, 0x40400100};
inline constexpr InterfaceId kBase{0x80010000, 0x00000001};
inline constexpr InterfaceId kScriptable{0x80020000, 0x00000001};
inline constexpr InterfaceId kClassList{0x80030000, 0x00000001};
inline constexpr InterfaceId kClassEntry{0x80040000, 0x00000001};
inline constexpr InterfaceId kSiteHolder{0x80050000, 0x00000001};
inline constexpr InterfaceId kTypeLibrary{0x80060000, 0x00000001};
inline constexpr InterfaceId kEventSource{0x800B0000, 0x00000001};
}  // namespace iid

// The engine class id that WCreateObject accepts.
inline constexpr InterfaceId kEngineClassId = iid::kApplication;

enum InvokeKind : int32_t {
    kInvokeMethod = 0,
    kInvokeGet = 1,
    kInvokePut = 2,
};

// Arguments of a member call: element 0 is the first argument (call order, not reversed). A null
// block or a count of 0 means no arguments.
struct InvokeArgs {
    plat::Variant* args;
    uint32_t count;
};

class ClassInfo;

// A host sees exactly six operations in this order: QueryInterface, AddRef, Release (from
// plat::Unknown), GetTypeInfo, Reserved, Invoke. The Itanium ABI lays virtual functions out in
// declaration order, so anything of the engine's own, the destructor's two entries included, is
// declared after Invoke: a host's table of six entries never sees them, and the engine never
// calls past the sixth entry of an object that is not its own.
class ScriptableObject : public plat::Unknown {
  public:
    // The class information of the object's class; one reference taken.
    virtual int32_t GetTypeInfo(ClassInfo** out) = 0;
    // The fifth operation of every engine object; it does nothing.
    virtual int32_t Reserved(void* /*first*/, void* /*second*/) { return rc::kNotImplemented; }
    // result may be null only where a class says so (event sinks are called without one).
    virtual int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                           plat::Variant* result) = 0;

    // Children are destroyed directly by their owner (the application's tables), hence public.
    // Only ever called on the engine's own objects, never on a host's sink.
    virtual ~ScriptableObject() = default;
};

// Runs an operation whose code may throw and answers its result; an exception becomes a code
// (-5 for memory, -1 for anything else), so that nothing thrown reaches a host, which may not
// be written in C++ at all.
template <class F>
int32_t GuardedCall(F&& operation) noexcept {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return rc::kOutOfMemory;
    } catch (...) {
        return rc::kFailed;
    }
}

// Pointer probes. Nothing here reads memory that is not known to be ours: a caller's pointer is
// checked for null only (engine objects are checked against the live-object table by their
// signature, see object_signature.h).
inline bool SafeIsBadReadPtr(const void* p, size_t /*size*/) {
    return p == nullptr;
}
inline bool SafeIsBadWritePtr(const void* p, size_t /*size*/) {
    return p == nullptr;
}
inline bool IsBadInterfacePtr(const void* p) {
    return p == nullptr;
}

// ---------------------------------------------------------------------------------------------
// Member dispatch through tables. A class checks itself (signature or site) and then hands its
// member tables to DispatchMember, which applies the argument and result rules shared by all
// classes.

// Width of the value a type carries in the Variant's value field.
inline size_t VariantValueWidth(plat::VarType type) {
    switch (type) {
        case plat::VT_EMPTY:
        case plat::VT_NULL:
        case plat::VT_I4:
        case plat::VT_UI4:
        case plat::VT_ERROR:
        case plat::VT_R4:
            return 4;
        case plat::VT_I2:
        case plat::VT_UI2:
        case plat::VT_BOOL:
            return 2;
        case plat::VT_UI1:
            return 1;
        default:
            return 8;  // pointers, doubles and dates
    }
}

// Copies a getter's or method's value into the caller's result: the type word and the value at
// the width of its type. The reserved words are not written, nor the rest of the value field, as
// callers of the original interface expect. Inline, like the dispatch below, so that the control
// library shares it without linking the engine.
inline void SetResult(plat::Variant* result, plat::VarType type, const plat::Variant& value) {
    result->vt = type;
    std::memcpy(&result->raw, &value.raw, VariantValueWidth(type));
}

template <class T>
struct PropertyRow {
    int32_t id;
    plat::VarType type;
    // The getter leaves its value in the union of the Variant it is given (zeroed beforehand).
    int32_t (T::*get)(plat::Variant* value);
    // The setter receives the one argument, already checked to be of the row's type.
    int32_t (T::*put)(const plat::Variant& argument);
};

inline constexpr size_t kMaxMethodArgs = 8;

template <class T>
struct MethodRow {
    int32_t id;
    plat::VarType resultType;
    uint8_t argCount;
    std::array<plat::VarType, kMaxMethodArgs> argTypes;
    // args holds exactly argCount Variants of the row's types; the method leaves its value in the
    // union of the Variant it is given (zeroed beforehand).
    int32_t (T::*call)(const plat::Variant* args, plat::Variant* value);
};

// Steps shared by every Invoke after the object's own check: the argument block and the result
// pointer are probed (-4), then the kind selects a put (exactly one argument of the property's
// type), a get (arguments ignored) or a method (exact count and types); unknown ids answer -6,
// wrong counts, types and kinds -7.
template <class T>
int32_t DispatchMember(T& object, std::span<const PropertyRow<T>> properties,
                       std::span<const MethodRow<T>> methods, int32_t memberId, int32_t kind,
                       const InvokeArgs* args, plat::Variant* result) {
    std::span<const plat::Variant> given;
    if (args != nullptr && args->count != 0) {
        if (SafeIsBadReadPtr(args->args, sizeof(plat::Variant) * args->count)) {
            return rc::kBadPointer;
        }
        given = {args->args, args->count};
    }
    if (SafeIsBadWritePtr(result, sizeof(plat::Variant))) return rc::kBadPointer;

    switch (kind) {
        case kInvokePut: {
            if (given.size() != 1) return rc::kBadArgument;
            for (const auto& row : properties) {
                if (row.id != memberId) continue;
                if (row.put == nullptr) return rc::kUnknownMember;
                if (given[0].vt != row.type) return rc::kBadArgument;
                return (object.*row.put)(given[0]);
            }
            return rc::kUnknownMember;
        }
        case kInvokeGet: {
            for (const auto& row : properties) {
                if (row.id != memberId) continue;
                if (row.get == nullptr) return rc::kUnknownMember;
                // A getter that fails part-way leaves nothing stale behind: the caller receives
                // the type with a zero value.
                plat::Variant value{};
                const int32_t code = (object.*row.get)(&value);
                SetResult(result, row.type, value);
                return code;
            }
            return rc::kUnknownMember;
        }
        case kInvokeMethod: {
            for (const auto& row : methods) {
                if (row.id != memberId) continue;
                if (given.size() != row.argCount) return rc::kBadArgument;
                for (size_t i = 0; i < given.size(); ++i) {
                    if (given[i].vt != row.argTypes[i]) return rc::kBadArgument;
                }
                plat::Variant value{};
                const int32_t code = (object.*row.call)(given.data(), &value);
                SetResult(result, row.resultType, value);
                return code;
            }
            return rc::kUnknownMember;
        }
        default:
            return rc::kBadArgument;
    }
}

}  // namespace kp

// Self-description of the engine classes for scripting hosts: member ids, result and parameter
// types and the names of members and parameters. One ClassInfoSet per application holds the
// eleven ClassInfo objects; their reference counting is the application's.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/core/scriptable.h"

namespace kp {

namespace typecode {
inline constexpr uint32_t kTypeLibrary = 0x1000000;
inline constexpr uint32_t kApplication = 0x1000010;
inline constexpr uint32_t kApplicationEvents = 0x1000011;
inline constexpr uint32_t kPrinterJob = 0x1000020;
inline constexpr uint32_t kPreview = 0x1000030;
inline constexpr uint32_t kFileObject = 0x1000040;
inline constexpr uint32_t kReport = 0x1000050;
inline constexpr uint32_t kLayerCollection = 0x1000060;
inline constexpr uint32_t kLayer = 0x1000070;
inline constexpr uint32_t kObjectCollection = 0x1000080;
inline constexpr uint32_t kDrawingObject = 0x1000090;
}  // namespace typecode

// Type-attribute record, 24 bytes. The interface id sits at byte 2, so it is kept as four
// 16-bit words (see TypeAttrInterfaceId).
struct TypeAttr {
    uint16_t size;  // 24
    uint16_t iidWords[4];
    uint16_t reserved0;
    uint32_t kind;  // 0 type library, 3 interface
    uint16_t funcCount;
    uint16_t varCount;
    uint16_t implTypeCount;
    uint16_t reserved1;
};
static_assert(sizeof(TypeAttr) == 24);
InterfaceId TypeAttrInterfaceId(const TypeAttr& attr);

struct ParamDesc {
    uint16_t type;  // VARIANT type
    uint16_t reserved0;
    uint32_t reserved1;
};
static_assert(sizeof(ParamDesc) == 8);

// Method description. The fields are those of the 28-byte record; with 64-bit pointers the
// parameter pointer takes 8 bytes, so the record is larger here.
struct FuncDesc {
    uint32_t reserved0;
    int32_t memberId;
    uint32_t reserved1;
    uint16_t one;         // 1
    uint16_t resultType;  // VARIANT type; VT_USERDEFINED for an engine object
    uint16_t paramCount;
    uint16_t reserved2;
    ParamDesc* params;
    uint32_t refTypeCode;  // type code of the returned class when resultType is VT_USERDEFINED
};

// Property-accessor description, 44 bytes.
struct VarDesc {
    uint32_t reserved0;
    int32_t memberId;
    uint32_t access;  // 1 get, 2 put
    uint32_t one;     // 1
    uint16_t varType;
    uint16_t reserved1;
    uint32_t reserved2[6];
};
static_assert(sizeof(VarDesc) == 44);

inline constexpr uint32_t kAccessGet = 1;
inline constexpr uint32_t kAccessPut = 2;

struct ClassData;  // the static description of one class (class_info.cpp)
class ClassInfoSet;

class ClassInfo : public plat::Unknown {
  public:
    ClassInfo() = default;
    ClassInfo(const ClassInfo&) = delete;
    ClassInfo& operator=(const ClassInfo&) = delete;
    ~ClassInfo() = default;

    // Forwarded through the set to the application.
    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;

    virtual int32_t GetTypeAttr(TypeAttr** out);
    virtual int32_t GetFuncDesc(uint32_t index, FuncDesc** out);  // -7 outside the methods
    virtual int32_t GetVarDesc(uint32_t index, VarDesc** out);    // -7 outside the accessors
    virtual void ReleaseTypeAttr(TypeAttr* attr);
    virtual void ReleaseFuncDesc(FuncDesc* desc);
    virtual void ReleaseVarDesc(VarDesc* desc);
    // Member name in names[0], then its parameter names, as far as maximum allows; count says how
    // many were written. Unknown ids answer -6 with every entry null and count 0.
    virtual int32_t GetNames(int32_t memberId, plat::Bstr* names, uint32_t maximum,
                             uint32_t* count);
    virtual int32_t Reserved() { return rc::kNotImplemented; }
    // A related class's information with one reference taken; -6 for a class not related.
    virtual int32_t GetRefTypeInfo(uint32_t typeCode, ClassInfo** out);
    // Type library only; every other class answers -2.
    virtual int32_t GetImplTypeFlags(uint32_t index, int32_t* flags);
    virtual int32_t GetRefTypeOfImplType(uint32_t index, uint32_t* typeCode);

    // Type library: the class information of a class id (ClassInfoQueryInterface of the set).
    int32_t FindClassInfo(const InterfaceId* iid, ClassInfo** out);
    uint32_t TypeCode() const;

  private:
    friend class ClassInfoSet;
    ClassInfoSet* set_ = nullptr;
    const ClassData* data_ = nullptr;
};

class ClassInfoSet : public plat::Unknown {
  public:
    explicit ClassInfoSet(plat::Unknown* owner = nullptr);
    ClassInfoSet(const ClassInfoSet&) = delete;
    ClassInfoSet& operator=(const ClassInfoSet&) = delete;
    ~ClassInfoSet() = default;

    // Forwarded to the application; without one -1, 0 and 0.
    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;

    // One of the nine class ids (not the event id) with one reference taken; -6 otherwise.
    int32_t ClassInfoQueryInterface(const InterfaceId* iid, ClassInfo** out);
    // Any of the eleven type codes, no reference taken; -6 otherwise.
    int32_t GetInterfaceByType(uint32_t typeCode, ClassInfo** out);
    void SetOwner(plat::Unknown* owner) { owner_ = owner; }

  private:
    plat::Unknown* owner_;
    std::array<ClassInfo, 11> infos_;
};

}  // namespace kp

// The engine's side of the public member table (engine/include/kpengn_members.h): a dispatch row
// takes its member's id, type and arguments from there by the member's name, so that what Invoke
// accepts and what hosts are told are the same rows. Only the function behind a member is
// written beside the name.
//   {KP_PROPERTY(PRINTER_JOB, SCALE), &PrinterJobObject::GetScale, &PrinterJobObject::PutScale}
//   {KP_METHOD(PRINTER_JOB, SET_JOB_STATUS), &PrinterJobObject::SetJobStatusMember}
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/core/scriptable.h"
#include "engine/include/kpengn_members.h"

namespace kp::members {

struct Args {
    uint8_t count;
    std::array<plat::VarType, kMaxMethodArgs> types;
};

struct ArgsRow {
    int32_t id;
    Args args;
    plat::VarType type;  // a property's type, a method's result
    uint8_t access;      // KPM_GET, KPM_PUT, KPM_GETPUT or KPM_METHOD
};

// The argument types of a row, spelled as the suffixes of KPM_VT_*.
#define KP_VTS_0()
#define KP_VTS_1(a) KPM_VT_##a
#define KP_VTS_2(a, b) KPM_VT_##a, KPM_VT_##b
#define KP_VTS_3(a, b, c) KPM_VT_##a, KPM_VT_##b, KPM_VT_##c
#define KP_VTS_4(a, b, c, d) KP_VTS_2(a, b), KP_VTS_2(c, d)
#define KP_VTS_5(a, b, c, d, e) KP_VTS_4(a, b, c, d), KPM_VT_##e
#define KP_VTS_6(a, b, c, d, e, f) KP_VTS_4(a, b, c, d), KP_VTS_2(e, f)
#define KP_VTS_7(a, b, c, d, e, f, g) KP_VTS_4(a, b, c, d), KP_VTS_3(e, f, g)
#define KP_VTS_8(a, b, c, d, e, f, g, h) KP_VTS_4(a, b, c, d), KP_VTS_4(e, f, g, h)
#define KP_ARGS_ROW_(CLASS, NAME, ID, ACCESS, VT, ARGC, ARGS) \
    ArgsRow{ID, {ARGC, {KP_VTS_##ARGC ARGS}}, KPM_VT_##VT, ACCESS},
#define KP_COUNT_ROW_(CLASS, NAME, ID, ACCESS, VT, ARGC, ARGS) +1

inline constexpr ArgsRow APPLICATION[] = {KPM_APPLICATION(KP_ARGS_ROW_)};
inline constexpr ArgsRow PRINTER_JOB[] = {KPM_PRINTER_JOB(KP_ARGS_ROW_)};
inline constexpr ArgsRow PREVIEW[] = {KPM_PREVIEW(KP_ARGS_ROW_)};
inline constexpr ArgsRow FILE_OBJECT[] = {KPM_FILE_OBJECT(KP_ARGS_ROW_)};
inline constexpr ArgsRow REPORT[] = {KPM_REPORT(KP_ARGS_ROW_)};
inline constexpr ArgsRow LAYER_COLLECTION[] = {KPM_LAYER_COLLECTION(KP_ARGS_ROW_)};
inline constexpr ArgsRow LAYER[] = {KPM_LAYER(KP_ARGS_ROW_)};
inline constexpr ArgsRow OBJECT_COLLECTION[] = {KPM_OBJECT_COLLECTION(KP_ARGS_ROW_)};
inline constexpr ArgsRow DRAWING_OBJECT[] = {KPM_DRAWING_OBJECT(KP_ARGS_ROW_)};
inline constexpr ArgsRow PDF_DOCUMENT[] = {KPM_PDF_DOCUMENT(KP_ARGS_ROW_)};

// The row of member id; an id missing from the class's rows does not compile. constexpr rather
// than consteval: clang 14 refuses a consteval call made with a consteval caller's own
// parameters; every caller is consteval, so the row is still found while compiling.
template <size_t N>
constexpr ArgsRow Row(const ArgsRow (&rows)[N], int32_t id) {
    for (const ArgsRow& row : rows) {
        if (row.id == id) return row;
    }
    throw "member not in the public member table";
}

// Number of rows of a class's table.
#define KP_MEMBER_COUNT(CLASS) (0 KPM_##CLASS(KP_COUNT_ROW_))

// The arguments of member id; an id missing from the class's rows does not compile.
template <size_t N>
consteval Args Find(const ArgsRow (&rows)[N], int32_t id) {
    return Row(rows, id).args;
}

}  // namespace kp::members

// A property row's id and type; a method row's id, result type, argument count and types.
#define KP_PROPERTY(CLASS, NAME) \
    KPM_##CLASS##_##NAME, static_cast<plat::VarType>(KPM_##CLASS##_##NAME##_VT)
#define KP_METHOD(CLASS, NAME)                                                   \
    KPM_##CLASS##_##NAME, static_cast<plat::VarType>(KPM_##CLASS##_##NAME##_VT), \
        ::kp::members::Find(::kp::members::CLASS, KPM_##CLASS##_##NAME).count,   \
        ::kp::members::Find(::kp::members::CLASS, KPM_##CLASS##_##NAME).types

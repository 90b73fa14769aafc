// Result codes answered by the engine's streams (memory byte streams and the streams of a
// report-file container), its containers and the compressed-file wrapper. Every operation answers
// 0 for success or one of these.
#pragma once

#include <cerrno>
#include <cstdint>

namespace kp::stream_code {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFailure = -1;         // short memory read; no memory block yet
inline constexpr int32_t kNotImplemented = -2;  // also: interface id not supported
inline constexpr int32_t kBadPointer = -4;
inline constexpr int32_t kOutOfMemory = -5;
inline constexpr int32_t kBadArgument = -7;  // name too long, bad creation mode or seek origin
inline constexpr int32_t kOutOfRange = -8;   // bad origin of a memory stream's seek
inline constexpr int32_t kFailed = -9;       // any other failure of a memory stream

inline constexpr int32_t kEndOfStream = -100;
inline constexpr int32_t kFileIo = -111;  // also: bad magic in the first header
inline constexpr int32_t kFileOther = -112;
inline constexpr int32_t kExists = -113;
inline constexpr int32_t kNotFound = -114;  // also: empty file
inline constexpr int32_t kAccessDenied = -115;
inline constexpr int32_t kWrongMode = -116;

inline constexpr int32_t kPathConversion = -10003;

inline constexpr int32_t kZlibNotOpen = -17220;  // or already open, for ZlibFile::Open
inline constexpr int32_t kZlibInit = -17221;
inline constexpr int32_t kZlibEnd = -17222;
inline constexpr int32_t kZlibData = -17223;  // deflate or inflate error
inline constexpr int32_t kZlibFileIo = -17225;
inline constexpr int32_t kDiskFull = -17226;

inline constexpr int32_t kStreamAlreadyOpen = -19000;
inline constexpr int32_t kNotContainer = -19001;  // short file, bad later magic, truncation

// The code a failed open(2) of a container or an expanded file answers with.
inline int32_t FileOpenErrorCode(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return kNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return kAccessDenied;
        case EEXIST:
            return kExists;
        default:
            return kFileOther;
    }
}

}  // namespace kp::stream_code

// Report-file containers: one file of named streams, each a 48-byte StreamHeader followed by its
// data, with no index. The compressed variant is one zlib stream whose expansion is exactly such a
// file; its stream names carry a running number.
//
// Objects are reference counted as across the engine boundary: a StreamFile or Stream comes back
// holding one reference, and Release at zero destroys it. A Stream keeps its StreamFile alive, so
// the order in which a caller releases them cannot leave either behind a dangling pointer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/core/byte_stream.h"
#include "engine/core/container_codes.h"
#include "engine/core/zlib_file.h"

namespace kp {

inline constexpr size_t kStreamHeaderSize = 48;
inline constexpr size_t kMaxStreamNameLength = 16;

// Creation modes of StreamFileFactory::Create.
inline constexpr uint16_t kCreateNew = 1;     // fails when the file exists
inline constexpr uint16_t kCreateAlways = 3;  // creates or truncates
// Access flags.
inline constexpr uint32_t kAccessRead = 1;
inline constexpr uint32_t kAccessWrite = 2;
inline constexpr uint32_t kAccessReadWrite = 3;
// Modes of an open stream.
inline constexpr uint16_t kStreamRead = 1;
inline constexpr uint16_t kStreamWrite = 2;

// The 48 bytes at the start of every stream: UTF-16LE "KP30" and a zero code unit, the name
// (at most 16 code units, zero-terminated, zero-padded to 17 units) and the data length.
using StreamHeaderImage = std::array<uint8_t, kStreamHeaderSize>;
StreamHeaderImage BuildStreamHeader(std::u16string_view name, uint32_t length);

// The name under which the compressed container stores a stream: stem, "-" and the number in
// decimal, as long as that fits the 16 units of a header. Longer names (a layer's object list
// "KPOBJECTS30-n" from page 100 on, its objects and the page record from page 1000 on) keep the
// stem and end in "~" and two code units that carry the number in 15-bit halves, each from U+4000
// up: unique, never equal to a decimal name (those end in a digit) and the same for writer and
// reader. false when even that does not fit (a stem longer than 13 units, or a number outside 1 to
// 2^30 - 1).
bool ComposeStreamName(std::u16string_view stem, int64_t number, std::u16string* out);
// The stem and number of a stored name, as ComposeStreamName made it; false for a name that no
// composition gives (no "-" and decimal number, nor the compact ending).
bool ParseStreamName(std::u16string_view stored, std::u16string* stem, int64_t* number);

// Walks a plain container while its bytes pass on unchanged to the next stage (an expansion on
// its way to disk). Each stream header is checked for its magic and handed, with its name and data
// length, to the judge before the header or any of its data passes on, so whatever bound the
// judge keeps holds before a byte past it is written. A header without the magic answers
// kNotContainer; a non-zero answer of the judge stops the walk; either is answered again by every
// later Write. A container that ends inside a stream is left to its reader, as a file cut short.
class ContainerWalkStage final : public StreamStage {
  public:
    using Judge = std::function<int32_t(std::u16string_view name, uint32_t length)>;
    ContainerWalkStage(StreamStage* next, Judge judge) : next_(next), judge_(std::move(judge)) {}
    int32_t Write(const uint8_t* data, size_t size) override;
    int32_t Finish() override { return failure_ != 0 ? failure_ : next_->Finish(); }

  private:
    StreamStage* next_;
    Judge judge_;
    StreamHeaderImage header_{};
    size_t headerFill_ = 0;
    uint64_t dataLeft_ = 0;
    int32_t failure_ = 0;
};

class Stream;

// An open container. One stream at most is open in it at any time.
class StreamFile {
  public:
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    int32_t AddRef();
    int32_t Release();

    // Appends a new stream for writing. Plain: names over 16 units -7, a name already in the file
    // -113. Compressed: the name is ComposeStreamName(name, user value + 1) and the stream is
    // buffered until its first Release, which deflates it into the file whole; a name already
    // written to this file answers -113.
    int32_t CreateStream(std::u16string_view name, Stream** out);
    // Opens an existing stream for reading (compressed: by its composed name, in a container that
    // ZlibFile::ExpandToFile has already expanded).
    int32_t OpenStream(std::u16string_view name, Stream** out);

    // A plain file's new streams collect in memory and reach the file in large pieces (and when
    // the file is released). Flush puts them in the file now and answers the first failure to
    // write a stream that no call has answered yet (0 when every stream closed so far is in the
    // file whole), which it forgets. A writer calls it once its last stream is closed.
    int32_t Flush();

    // The compressed file behind a compressed container (its user value is the stream number
    // base); null for a plain one.
    ZlibFile* GetZlibFile() const { return zlib_.get(); }
    bool IsCompressed() const { return compressed_; }

  private:
    friend class Stream;
    friend class StreamFileFactory;
    friend class CompressedStreamFileFactory;

    StreamFile(int fd, bool compressed, bool writable = false);
    ~StreamFile();

    int32_t StoredName(std::u16string_view name, std::u16string* stored) const;
    int32_t FindStream(std::u16string_view name, uint64_t* headerOffset, uint32_t* length);
    int32_t FlushBuffered(uint32_t writtenCount);
    // Puts the collected bytes into the file (the open stream's header with its length so far
    // while it is among them), then the open stream's header length once its data is in.
    int32_t FlushPending();
    int32_t RewriteOpenHeader();
    bool WritingOpenStream() const;
    int32_t WritePlain(const void* buffer, uint32_t count);
    // Reads through the read-ahead; as ReadAt.
    int64_t ReadCached(void* buffer, uint32_t count, uint64_t offset);
    void Closed(Stream* stream);

    std::recursive_mutex lock_;
    const int fd_;
    const bool compressed_;
    const bool writable_;  // plain and open for writing: indexed, appended through pending_
    int32_t refs_ = 1;
    uint64_t headerOffset_ = 0;
    uint32_t position_ = 0;
    uint32_t length_ = 0;  // of the open stream
    uint16_t mode_ = 0;
    Stream* open_ = nullptr;
    StreamHeaderImage header_{};  // of the open stream; its last 4 bytes hold the length
    std::shared_ptr<ZlibFile> zlib_;
    std::unique_ptr<ByteStream> buffer_;
    std::set<std::u16string> written_;
    // New streams of a plain file go to the file in large pieces: headers and data collect here,
    // each closed stream's header with its final length, and reach the file when the piece is
    // full, a stream is read or the file is flushed or released. A stream larger than a piece
    // has its data in the file before its header counts it, so a file cut short holds whole
    // streams and at worst bytes past its last one.
    std::vector<uint8_t> pending_;
    uint64_t pendingAt_ = 0;     // where pending_ goes in the file
    uint64_t diskEnd_ = 0;       // the file's size as far as this object wrote it
    bool headerOnDisk_ = false;  // the open stream's header is in the file (or final in pending_)
    bool openLost_ = false;      // the open stream's first piece did not reach the file
    uint32_t lengthOnDisk_ = 0;  // what the open stream's header in the file says
    int32_t writeFailure_ = 0;   // see Flush
    // Bytes read ahead of the reader, from readCacheAt_ in the file.
    std::vector<uint8_t> readCache_;
    uint64_t readCacheAt_ = 0;
    size_t readCacheLength_ = 0;
    // A compressed container read after expansion never changes, and a plain one written here
    // changes only by what this object appends, so their streams are walked once: each name's
    // first header, and what the walk met at its end for every other name.
    struct IndexEntry {
        uint64_t offset;
        uint32_t length;
    };
    bool indexed_ = false;
    int32_t indexEnd_ = 0;
    uint64_t indexedSize_ = 0;  // the file's size as the walk and the appends since leave it
    std::unordered_map<std::u16string, IndexEntry> index_;
    IndexEntry* openEntry_ = nullptr;  // of the stream being written
    int32_t BuildIndex();
};

// A stream of a container. Position, length and mode live in its StreamFile.
class Stream final : public EngineStream {
  public:
    int32_t QueryInterface(const plat::InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    // In the compressed container the first Release hands the buffered stream to the zlib file.
    int32_t Release() override;
    // Reads up to the stream's end; at or beyond it -100.
    int32_t Read(void* buffer, uint32_t count, uint32_t* read) override;
    int32_t Write(const void* buffer, uint32_t count, uint32_t* written) override;
    // The position may lie beyond the length; one before the start becomes 0.
    int32_t Seek(int32_t offset, int32_t origin, uint32_t* newPosition) override;
    int32_t SetSize(uint32_t size) override;  // not offered: -2
    // Copies at most up to the stream's end (-2 in the compressed container).
    int32_t CopyTo(EngineStream* destination, uint32_t count, uint32_t* written) override;

  private:
    friend class StreamFile;
    // The stream holds a reference on its file from here to its destruction.
    Stream(StreamFile* file, uint32_t writtenCount);
    ~Stream();

    StreamFile* file_;
    std::recursive_mutex lock_;
    int32_t refs_ = 1;
    uint32_t writtenCount_;  // compressed: bytes in the buffer, header included
};

// Creates and opens plain containers. Paths are UTF-16 and name files in UTF-8.
class StreamFileFactory {
  public:
    int32_t AddRef() { return 1; }
    int32_t Release() { return 0; }
    int32_t Create(std::u16string_view path, uint16_t creationMode, uint32_t access,
                   StreamFile** out);
    int32_t Open(std::u16string_view path, uint32_t access, StreamFile** out);
};

// Creates and opens compressed containers. It holds the ZlibFile of the file it last created or
// opened; destroying the factory closes that ZlibFile, which finishes the zlib stream.
class CompressedStreamFileFactory {
  public:
    CompressedStreamFileFactory() = default;
    ~CompressedStreamFileFactory();
    CompressedStreamFileFactory(const CompressedStreamFileFactory&) = delete;
    CompressedStreamFileFactory& operator=(const CompressedStreamFileFactory&) = delete;

    int32_t AddRef() { return 1; }
    int32_t Release() { return 0; }
    // A new ZlibFile in deflate mode, opened on the new file.
    int32_t Create(std::u16string_view path, uint16_t creationMode, uint32_t access,
                   StreamFile** out);
    // The factory's ZlibFile in inflate mode, opened on the file; ZlibFile::ExpandToFile then
    // gives a plain container that a second factory opens.
    int32_t Open(std::u16string_view path, uint32_t access, StreamFile** out);
    ZlibFile* GetZlibFile() const { return zlib_.get(); }

  private:
    std::shared_ptr<ZlibFile> zlib_;
};

// A record inside a stream: id, length, then length bytes of value (little-endian).
struct TaggedRecordHeader {
    int32_t id;
    int32_t length;
};
static_assert(sizeof(TaggedRecordHeader) == 8);

// Writes the header, then the value when the length is not 0 and the value is not null; the
// first failure is the result. A negative length with a value answers -7 and writes nothing.
int32_t WriteTaggedRecord(EngineStream* stream, const TaggedRecordHeader& header,
                          const void* value);
// Reads exactly count bytes: a read failure passes through (-100 at the end of the stream),
// fewer bytes than asked answer -19001.
int32_t ReadExact(EngineStream* stream, void* buffer, uint32_t count);

// Holds one reference to a container or stream and drops it however the scope ends, a throw
// included.
struct ReleaseReference {
    template <class T>
    void operator()(T* object) const {
        if (object != nullptr) object->Release();
    }
};
template <class T>
using HeldReference = std::unique_ptr<T, ReleaseReference>;

}  // namespace kp

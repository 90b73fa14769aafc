// A whole file mapped read-only, for font files that are read in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace plat {

class MappedFile {
  public:
    // Maps the file at `path`; nullptr when it does not exist or cannot be read.
    // An empty file maps to an empty view.
    static std::unique_ptr<MappedFile> Open(const std::string& path);

    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const uint8_t> bytes() const { return {data_, size_}; }

  private:
    MappedFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    const uint8_t* data_;
    size_t size_;
};

}  // namespace plat

#include "platform/fonts/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

std::unique_ptr<MappedFile> MappedFile::Open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    size_t size = size_t(st.st_size);
    const uint8_t* data = nullptr;
    if (size > 0) {
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            ::close(fd);
            return nullptr;
        }
        data = static_cast<const uint8_t*>(p);
    }
    // The mapping stays valid after the descriptor is closed.
    ::close(fd);
    return std::unique_ptr<MappedFile>(new MappedFile(data, size));
}

MappedFile::~MappedFile() {
    if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), size_);
}

}  // namespace plat

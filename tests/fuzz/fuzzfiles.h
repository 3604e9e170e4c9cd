#pragma once
// Files for the fuzz targets whose readers open a path. One folder per
// process in memory (/dev/shm; the temporary folder where there is none),
// made once and removed at exit. Each input rewrites the same files in
// place: no folder made or removed per input, no file created anew, nothing
// flushed to a disk. Include from one source file per target only (it sets
// the target's sanitizer defaults).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace orbisk::fuzz {

// "<memory folder>/orbisk-fuzz-<name>-XXXXXX", without a trailing slash.
inline const std::string& workFolder(const char* name) {
    // Never destroyed: the clean-up at exit still needs it.
    static const std::string& folder = *new std::string([name] {
        std::error_code ec;
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path root =
            std::filesystem::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0
                ? shm
                : std::filesystem::temp_directory_path();
        std::string pattern = (root / (std::string("orbisk-fuzz-") + name + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern;
    }());
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        });
        return true;
    }();
    (void)cleanup;
    return folder;
}

// Makes `path` hold exactly `bytes`. The descriptor stays open between
// inputs; a file that a reader replaced or removed is opened anew.
inline void putFile(const std::string& path, std::string_view bytes) {
    static std::map<std::string, int> open;
    int& fd = open.try_emplace(path, -1).first->second;
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || st.st_nlink == 0)) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0) std::abort();
        done += static_cast<std::size_t>(n);
    }
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) std::abort();
}

inline void putFile(const std::string& path, const void* data, std::size_t size) {
    putFile(path, std::string_view(static_cast<const char*>(data), size));
}

}  // namespace orbisk::fuzz

// The readers allocate their buffers anew for every area they open. With
// the default quarantine of 256 MB every such buffer lands on pages never
// touched before, and faulting them in costs more than the read itself. One
// input frees far less than 16 MB, so a use after free inside an input is
// still caught. ASAN_OPTIONS set by the caller still wins.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

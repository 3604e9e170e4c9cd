#pragma once
// A random-access file seen through one window of a fixed size (4000 bytes
// by default). Reads fill the window from the file; writes go into it and
// reach the file when the window moves, is flushed or the file closes.
// Writing past the end grows the file. Built on the retrying primitives of
// fileio.h, so LastIoError holds the result of the latest file operation.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "msgbase/fileio.h"

namespace orbisk {

class BufferedFile {
public:
    explicit BufferedFile(std::size_t bufferSize = 4000);
    ~BufferedFile();  // closes (flushing) an open file
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    // Closes the file first when open; creates a missing file empty; opens
    // it with the access mode (kModeReadOnly / kModeReadWrite). Position 0.
    bool Open(const std::string& name, int mode);
    // Flushes a dirty window and closes. The file is closed afterwards in
    // any case; false when the flush or the close failed.
    bool Close();
    // Copies up to count bytes from the position; got < count only at the
    // end of the file. False only on an I/O failure.
    bool Read(void* buffer, std::size_t count, std::size_t& got);
    bool Write(const void* buffer, std::size_t count);
    // Moves the position; any value >= 0 (past the end too: a later write
    // there grows the file, the gap reading as zero bytes).
    void Seek(std::int64_t p);
    bool FlushWindow();
    bool FillWindow();
    // Size of the file including what is still only in the window.
    std::int64_t FileLength() const { return fileSize_; }
    std::int64_t Position() const { return pos_; }
    bool IsOpen() const { return open_; }

private:
    std::int64_t WindowEnd() const { return winStart_ + static_cast<std::int64_t>(valid_); }
    void RestartWindow(std::int64_t at);

    FileHandle file_;
    std::vector<char> buf_;
    std::int64_t winStart_ = 0;
    std::size_t valid_ = 0;
    std::int64_t fileSize_ = 0;
    bool dirty_ = false;
    bool open_ = false;
    bool flushFailed_ = false;
    std::int64_t pos_ = 0;
};

}  // namespace orbisk

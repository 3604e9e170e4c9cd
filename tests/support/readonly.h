#pragma once
// Makes a folder and every file in it unwritable for this process, also
// when it runs as root (as CI does): root ignores permission bits, so there
// the immutable attribute is set instead, which needs a file system that
// has it and the capability to set it. Restored by the destructor.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace orbisk::test {

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& folder) {
        namespace fs = std::filesystem;
        std::vector<std::string> paths;
        for (const auto& e : fs::recursive_directory_iterator(folder)) paths.push_back(e.path().string());
        paths.push_back(folder);  // last, so that the files can still be reached
        for (const std::string& p : paths) {
            if (!protect(p)) return;
            done_.push_back(p);
        }
        ok_ = true;
    }
    ~ReadOnlyFolder() {
        for (auto it = done_.rbegin(); it != done_.rend(); ++it) release(*it);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // False when the folder could not be made read-only; why() says why.
    bool ok() const { return ok_; }
    const std::string& why() const { return why_; }

private:
    static bool asRoot() { return ::geteuid() == 0; }

    bool protect(const std::string& p) {
        namespace fs = std::filesystem;
        if (!asRoot()) {
            std::error_code ec;
            fs::permissions(p, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove, ec);
            if (ec) why_ = p + ": " + ec.message();
            return !ec;
        }
        return setImmutable(p, true);
    }
    void release(const std::string& p) {
        namespace fs = std::filesystem;
        if (!asRoot()) {
            std::error_code ec;
            fs::permissions(p, fs::perms::owner_write, fs::perm_options::add, ec);
        } else {
            setImmutable(p, false);
        }
    }
    bool setImmutable(const std::string& p, bool on) {
        const int fd = ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (!ok) why_ = "cannot set the immutable attribute on " + p + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return ok;
    }

    std::vector<std::string> done_;
    bool ok_ = false;
    std::string why_;
};

}  // namespace orbisk::test

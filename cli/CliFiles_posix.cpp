#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/CliFiles.h"

namespace vexlo::cli {
namespace {

bool WriteFd(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Closes fd keeping the first failure's errno.
bool CloseKeepingError(int fd, bool ok) {
    const int saved = errno;
    const bool closed = ::close(fd) == 0;
    if (!ok) errno = saved;
    return ok && closed;
}

}  // namespace

FileFacts LookAt(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    return {true, S_ISREG(info.st_mode), static_cast<long long>(info.st_size)};
}

bool AppendToFile(const std::string& path, const std::string& text, bool create, bool sync) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (fd < 0) return false;
    const bool ok = WriteFd(fd, text) && (!sync || ::fsync(fd) == 0);
    return CloseKeepingError(fd, ok);
}

bool ReplaceWholeFile(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    bool ok = CloseKeepingError(fd, ::fchmod(fd, 0644) == 0 && WriteFd(fd, text) && ::fsync(fd) == 0);
    if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
    }
    return ok;
}

bool PipeReaderGone(std::FILE* file) {
    // A pipe whose reader went away shows an error condition at once.
    pollfd descriptor{fileno(file), 0, 0};
    return ::poll(&descriptor, 1, 0) == 1 && (descriptor.revents & POLLERR) != 0;
}

}  // namespace vexlo::cli

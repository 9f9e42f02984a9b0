#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>

#include "cli/CliFiles.h"

namespace vexlo::cli {
namespace {

// Binary mode: the CSV file holds the same bytes as on Linux.
constexpr int kWriteFlags = _O_WRONLY | _O_BINARY | _O_NOINHERIT;

bool WriteFd(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const int n = _write(fd, text.data() + done, static_cast<unsigned>(text.size() - done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CloseKeepingError(int fd, bool ok) {
    const int saved = errno;
    const bool closed = _close(fd) == 0;
    if (!ok) errno = saved;
    return ok && closed;
}

// The errno of the Win32 failures a rename meets.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:  // the file is open elsewhere, in a spreadsheet for one
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        default:
            return EIO;
    }
}

// Paths come in the ANSI code page, as the command line gave them.
std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

}  // namespace

FileFacts LookAt(const std::string& path) {
    struct _stat64 info {};
    if (_stat64(path.c_str(), &info) != 0) return {};
    return {true, (info.st_mode & _S_IFMT) == _S_IFREG, static_cast<long long>(info.st_size)};
}

bool AppendToFile(const std::string& path, const std::string& text, bool create, bool sync) {
    const int fd = _open(path.c_str(), kWriteFlags | _O_APPEND | (create ? _O_CREAT : 0), _S_IREAD | _S_IWRITE);
    if (fd < 0) return false;
    const bool ok = WriteFd(fd, text) && (!sync || _commit(fd) == 0);
    return CloseKeepingError(fd, ok);
}

bool ReplaceWholeFile(const std::string& path, const std::string& text) {
    // No mkstemp here: a name of this process that no other file has, created exclusively.
    static int serial = 0;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = path + ".tmp" + std::to_string(_getpid()) + "-" + std::to_string(++serial);
        fd = _open(temporary.c_str(), kWriteFlags | _O_CREAT | _O_EXCL, _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = CloseKeepingError(fd, WriteFd(fd, text) && _commit(fd) == 0);
    if (ok &&
        !MoveFileExW(Wide(temporary).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        errno = ErrnoOf(GetLastError());
        ok = false;
    }
    if (!ok) {
        const int saved = errno;
        _unlink(temporary.c_str());
        errno = saved;
    }
    return ok;
}

// Windows tells of a pipe without reader only when it is written to.
bool PipeReaderGone(std::FILE*) { return false; }

}  // namespace vexlo::cli

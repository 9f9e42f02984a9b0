// POSIX backend of SerialDevice: termios raw mode, exclusive open, reads bounded by poll().
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "serial/CustomBaud.h"
#include "serial/PortNameResolver.h"
#include "serial/SerialDevice.h"

namespace vexlo {
namespace {

using Clock = std::chrono::steady_clock;

std::string ErrorText(int error) { return std::strerror(error); }

speed_t StandardSpeed(std::uint32_t baud) {
    switch (baud) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        default: return 0;
    }
}

void SetRawMode(termios& tio) {
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

void SetDataBits(termios& tio, int dataBits) {
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    tio.c_cflag |= dataBits == 7 ? CS7 : CS8;
}

void SetParity(termios& tio, int parityCode) {
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
    if (parityCode == 1) tio.c_cflag |= PARENB | PARODD;
    if (parityCode == 2) tio.c_cflag |= PARENB;
}

// POSIX has no 1.5 stop bits; two is the nearest that a receiver set to 1.5 still accepts.
void SetStopBits(termios& tio, int stopCode) {
    if (stopCode == 0) {
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    } else {
        tio.c_cflag |= CSTOPB;
    }
}

// RS485 adapters switch their driver with RTS; where the kernel driver can do that itself, ask it to
// raise RTS while sending. Drivers without it (most USB adapters switch on their own) refuse; ignored.
void EnableRtsOnSend(int fd) {
    serial_rs485 rs485{};
    if (ioctl(fd, TIOCGRS485, &rs485) != 0) return;
    rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    rs485.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND);
    (void)ioctl(fd, TIOCSRS485, &rs485);
}

// USB-serial adapters otherwise hold received bytes up to 16 ms before passing them on.
void AskLowLatency(int fd) {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
    info.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &info);
}

class PosixSerialDevice final : public SerialDevice {
public:
    explicit PosixSerialDevice(int fd) : fd(fd) {}
    ~PosixSerialDevice() override {
        flock(fd, LOCK_UN);
        close(fd);
    }

    bool Configure(const PortSettings& settings, const SerialTimeouts& newTimeouts) override {
        timeouts = newTimeouts;
        termios tio{};
        if (tcgetattr(fd, &tio) != 0) return false;
        SetRawMode(tio);
        SetDataBits(tio, settings.dataBits);
        SetParity(tio, settings.parity);
        SetStopBits(tio, settings.stopBits);
        const speed_t speed = StandardSpeed(settings.Baud());
        if (speed != 0) {
            cfsetispeed(&tio, speed);
            cfsetospeed(&tio, speed);
        }
        bool ok = tcsetattr(fd, TCSANOW, &tio) == 0;
        if (speed == 0) ok = SetCustomBaud(fd, settings.Baud()) && ok;
        EnableRtsOnSend(fd);
        AskLowLatency(fd);
        return ok;
    }

    void Purge() override { (void)tcflush(fd, TCIOFLUSH); }

    bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) override {
        *written = 0;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeouts.writePerByteMs * count +
                                                                       timeouts.writeConstantMs);
        while (*written < count) {
            const ssize_t n = ::write(fd, data + *written, count - *written);
            if (n > 0) {
                *written += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            const int waitMs = MillisecondsUntil(deadline);
            if (waitMs <= 0) return false;
            pollfd p{fd, POLLOUT, 0};
            const int ready = poll(&p, 1, waitMs);
            if (ready < 0 && errno != EINTR) return false;
            if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
        }
        return tcdrain(fd) == 0 || errno == ENOTTY;
    }

    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        *received = 0;
        const auto start = Clock::now();
        const auto totalDeadline =
            start + std::chrono::milliseconds(timeouts.readPerByteMs * count + timeouts.readConstantMs);
        auto lastByte = start;
        while (*received < count) {
            auto deadline = totalDeadline;
            if (*received > 0) {
                deadline = std::min(deadline, lastByte + std::chrono::milliseconds(timeouts.readIntervalMs));
            }
            const auto now = Clock::now();
            if (now >= deadline) return true;  // time-out: the caller compares the count
            const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
            timespec ts{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
            pollfd p{fd, POLLIN, 0};
            const int ready = ppoll(&p, 1, &ts, nullptr);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (ready == 0) continue;
            if (p.revents & POLLIN) {
                const ssize_t n = ::read(fd, buffer + *received, count - *received);
                if (n > 0) {
                    *received += static_cast<std::size_t>(n);
                    lastByte = Clock::now();
                    continue;
                }
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                return false;  // readable but nothing: the device went away
            }
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
        }
        return true;
    }

private:
    static int MillisecondsUntil(Clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

    int fd;
    SerialTimeouts timeouts;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenPlatformSerialDevice(const std::string& deviceName, std::string* errorText) {
    const std::string path = ResolveDevicePath(deviceName);
    if (path.empty()) {
        *errorText = ErrorText(ENOENT);
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *errorText = ErrorText(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) || !isatty(fd)) {
        close(fd);
        *errorText = ErrorText(ENOTTY);
        return nullptr;
    }
    // TIOCEXCL keeps other users out; root passes it, so the lock is what refuses a second opener.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        *errorText = ErrorText(error);
        return nullptr;
    }
    (void)ioctl(fd, TIOCEXCL);
    return std::make_unique<PosixSerialDevice>(fd);
}

}  // namespace vexlo

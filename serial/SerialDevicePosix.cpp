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
#include <thread>

#include "serial/CustomBaud.h"
#include "serial/NetworkDevice.h"
#include "serial/PortNameResolver.h"
#include "serial/SerialDevice.h"
#include "serial/StreamIo_posix.h"
#include "serial/TimedRead.h"
#include "serial/TtyLine.h"

namespace vexlo {
namespace {

std::string ErrorText(int error) { return std::strerror(error); }

speed_t StandardSpeed(std::uint32_t baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return 0;
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

// USB-serial adapters otherwise hold received bytes up to 16 ms before passing them on.
void AskLowLatency(int fd) {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
    info.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &info);
}

class PosixTtyLine final : public TtyLine {
public:
    explicit PosixTtyLine(int fd) : fd(fd) {}
    ~PosixTtyLine() override {
        flock(fd, LOCK_UN);
        close(fd);
    }
    int Fd() const override { return fd; }
    bool EnableKernelRs485() override {
        serial_rs485 rs485{};
        if (ioctl(fd, TIOCGRS485, &rs485) != 0) return false;
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs485.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND);
        return ioctl(fd, TIOCSRS485, &rs485) == 0;
    }
    bool SetRts(bool on) override {
        int bits = TIOCM_RTS;
        return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
    }
    bool Drain() override { return tcdrain(fd) == 0 || errno == ENOTTY; }
    void WaitMicroseconds(long microseconds) override {
        if (microseconds > 0) std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
    }

private:
    int fd;
};

class TtySerialDevice final : public SerialDevice {
public:
    explicit TtySerialDevice(std::unique_ptr<TtyLine> line) : line(std::move(line)) {}

    bool Configure(const PortSettings& settings, const SerialTimeouts& newTimeouts) override {
        timeouts = newTimeouts;
        const int fd = line->Fd();
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
        // One character of 11 bits at the line's speed: how long the last one takes to leave.
        characterMicroseconds = settings.Baud() > 0 ? static_cast<long>(11000000ull / settings.Baud()) : 0;
        // RS485 converters that switch with RTS: the driver does it where it can, else this port
        // raises RTS around each write as the Windows driver does. Listening: RTS low.
        if (line->EnableKernelRs485()) {
            direction = DirectionControl::Kernel;
        } else {
            direction = line->SetRts(false) ? DirectionControl::RtsToggled : DirectionControl::None;
        }
        AskLowLatency(fd);
        return ok;
    }

    void Purge() override { (void)tcflush(line->Fd(), TCIOFLUSH); }

    void DiscardLateReply(std::size_t count) override {
        if (!DiscardUntilQuiet(Wait(), nullptr, count, timeouts, lastWrite)) vanished = true;
    }

    bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) override {
        const bool toggled = direction == DirectionControl::RtsToggled;
        if (toggled) line->SetRts(true);
        bool gone = false;
        const bool ok = WriteWithin(line->Fd(), data, count, timeouts, written, &gone) && line->Drain();
        lastWrite = std::chrono::steady_clock::now();
        if (toggled) {
            line->WaitMicroseconds(characterMicroseconds);
            line->SetRts(false);
        }
        vanished = vanished || gone;
        return ok;
    }

    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        if (ReadWithTimeouts(Wait(), nullptr, buffer, count, timeouts, received)) return true;
        vanished = true;
        return false;
    }

    bool Vanished() const override { return vanished; }
    // Said only where RTS switches an RS485 converter; a line without RTS says nothing.
    std::string Describe() const override {
        return direction == DirectionControl::None ? std::string() : DirectionControlName(direction);
    }

private:
    ByteWait Wait() const {
        return [fd = line->Fd()](std::uint8_t* buffer, std::size_t count, int waitMs) {
            return WaitAndRead(fd, buffer, count, waitMs);
        };
    }

    std::unique_ptr<TtyLine> line;
    SerialTimeouts timeouts;
    DirectionControl direction = DirectionControl::None;
    long characterMicroseconds = 0;
    std::chrono::steady_clock::time_point lastWrite;
    bool vanished = false;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenPlatformSerialDevice(const std::string& deviceName, std::string* errorText) {
    const std::string path = ResolveDevicePath(deviceName);
    if (path.empty()) {
        *errorText = ErrorText(ENOENT);
        return nullptr;
    }
    if (IsNetworkPort(path)) return OpenNetworkDevice(path, errorText);
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
    return MakeTtyDevice(MakePosixTtyLine(fd));
}

std::unique_ptr<TtyLine> MakePosixTtyLine(int fd) { return std::make_unique<PosixTtyLine>(fd); }

std::unique_ptr<SerialDevice> MakeTtyDevice(std::unique_ptr<TtyLine> line) {
    return std::make_unique<TtySerialDevice>(std::move(line));
}

const char* DirectionControlName(DirectionControl control) {
    switch (control) {
        case DirectionControl::Kernel:
            return "RS485 direction: RTS raised by the driver while it sends";
        case DirectionControl::RtsToggled:
            return "RS485 direction: RTS raised by the console around each write";
        case DirectionControl::None:
            return "RS485 direction: no RTS on this device";
    }
    return "";
}

}  // namespace vexlo

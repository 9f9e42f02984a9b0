// Win32 backend of SerialDevice, on the communications API.
#include <windows.h>

#include <algorithm>

#include "serial/NetworkDevice.h"
#include "serial/PortNameResolver.h"
#include "serial/SerialDevice.h"

namespace vexlo {
namespace {

std::string LastErrorText() {
    char text[1024] = {};
    const DWORD error = GetLastError();
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return text;
}

class Win32SerialDevice final : public SerialDevice {
public:
    explicit Win32SerialDevice(HANDLE handle) : handle(handle) {}
    ~Win32SerialDevice() override { CloseHandle(handle); }

    bool Configure(const PortSettings& settings, const SerialTimeouts& newTimeouts) override {
        timeouts = newTimeouts;
        bool ok = SetupComm(handle, 2048, 2048) != 0;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ok = GetCommState(handle, &dcb) != 0 && ok;
        dcb.BaudRate = settings.Baud();
        dcb.ByteSize = settings.dataBits;
        dcb.Parity = settings.parity;
        dcb.StopBits = settings.stopBits;
        // Frames are binary: a driver that reports software flow control on (Wine does) would take
        // 0x11 and 0x13 out of the replies.
        dcb.fBinary = TRUE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
        if (SetCommState(handle, &dcb) == 0) {
            // A driver without the toggle refuses the whole state: keep the line settings, RTS on.
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
            ok = SetCommState(handle, &dcb) != 0 && ok;
        }
        commTimeouts.ReadIntervalTimeout = timeouts.readIntervalMs;
        commTimeouts.ReadTotalTimeoutMultiplier = timeouts.readPerByteMs;
        commTimeouts.ReadTotalTimeoutConstant = timeouts.readConstantMs;
        commTimeouts.WriteTotalTimeoutMultiplier = timeouts.writePerByteMs;
        commTimeouts.WriteTotalTimeoutConstant = timeouts.writeConstantMs;
        ok = SetCommTimeouts(handle, &commTimeouts) != 0 && ok;
        return ok;
    }

    void Purge() override { PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR); }

    // Reads that each last until the quiet time is over: one that brings nothing ends it.
    void DiscardLateReply(std::size_t count) override {
        const ULONGLONG quietMs = timeouts.readPerByteMs * static_cast<ULONGLONG>(count) + timeouts.readConstantMs;
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG limit = now + 2 * quietMs;
        ULONGLONG quietFrom = std::max(now, lastWriteMs + quietMs);
        BYTE scratch[512];
        for (;;) {
            const ULONGLONG end = std::min(quietFrom + quietMs, limit);
            const ULONGLONG at = GetTickCount64();
            if (at >= end) break;
            COMMTIMEOUTS quiet = commTimeouts;
            quiet.ReadIntervalTimeout = 0;
            quiet.ReadTotalTimeoutMultiplier = 0;
            quiet.ReadTotalTimeoutConstant = static_cast<DWORD>(end - at);
            DWORD done = 0;
            if (SetCommTimeouts(handle, &quiet) == 0 ||
                ReadFile(handle, scratch, sizeof scratch, &done, nullptr) == 0) {
                break;
            }
            if (done > 0) quietFrom = GetTickCount64();
        }
        SetCommTimeouts(handle, &commTimeouts);
    }

    bool Write(const std::uint8_t* data, std::size_t count, std::size_t* written) override {
        DWORD done = 0;
        const BOOL ok = WriteFile(handle, data, static_cast<DWORD>(count), &done, nullptr);
        lastWriteMs = GetTickCount64();
        *written = done;
        if (!ok) (void)GetLastError();
        return ok != 0;
    }

    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t* received) override {
        DWORD done = 0;
        const BOOL ok = ReadFile(handle, buffer, static_cast<DWORD>(count), &done, nullptr);
        *received = done;
        if (!ok) (void)GetLastError();
        return ok != 0;
    }

private:
    HANDLE handle;
    SerialTimeouts timeouts;
    COMMTIMEOUTS commTimeouts{};
    ULONGLONG lastWriteMs = 0;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenPlatformSerialDevice(const std::string& deviceName, std::string* errorText) {
    if (const std::string path = ResolveDevicePath(deviceName); IsNetworkPort(path)) {
        return OpenNetworkDevice(path, errorText);
    }
    HANDLE handle =
        CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *errorText = LastErrorText();
        return nullptr;
    }
    return std::make_unique<Win32SerialDevice>(handle);
}

}  // namespace vexlo

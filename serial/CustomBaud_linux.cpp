// Kept apart: <asm/termbits.h> clashes with the <termios.h> the rest of the backend uses.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "serial/CustomBaud.h"

namespace vexlo {

bool SetCustomBaud(int fd, std::uint32_t baud) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

}  // namespace vexlo

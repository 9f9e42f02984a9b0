#include "simulator/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace vexlo {

PseudoTerminal::PseudoTerminal() {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0) {
        close(fd);
        return;
    }
    char name[128] = {};
    if (ptsname_r(fd, name, sizeof name) != 0) {
        close(fd);
        return;
    }
    // Raw on both sides: no echo, no line discipline between the two programs.
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    masterFd = fd;
    slavePath = name;
    slaveFd = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slaveFd >= 0 && tcgetattr(slaveFd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slaveFd, TCSANOW, &tio);
    }
}

PseudoTerminal::~PseudoTerminal() {
    CloseMaster();
    if (slaveFd >= 0) close(slaveFd);
}

void PseudoTerminal::CloseMaster() {
    if (masterFd >= 0) close(masterFd);
    masterFd = -1;
    if (slaveFd >= 0) close(slaveFd);
    slaveFd = -1;
}

}  // namespace vexlo

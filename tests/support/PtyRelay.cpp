#include "tests/support/PtyRelay.h"

#include <poll.h>
#include <unistd.h>

namespace vexlo::test {

PtyRelay::PtyRelay() : worker([this] { Run(); }) {}

PtyRelay::~PtyRelay() {
    stopping = true;
    worker.join();
}

void PtyRelay::Run() {
    pollfd fds[2] = {{a.MasterFd(), POLLIN, 0}, {b.MasterFd(), POLLIN, 0}};
    const int peers[2] = {b.MasterFd(), a.MasterFd()};
    while (!stopping) {
        if (poll(fds, 2, 10) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            std::uint8_t buffer[512];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) (void)write(peers[i], buffer, static_cast<size_t>(n));
        }
    }
}

}  // namespace vexlo::test

#include "tests/support/PtyResponder.h"

#include <poll.h>
#include <unistd.h>

namespace vexlo::test {

PtyResponder::PtyResponder() : worker([this] { Run(); }) {}

PtyResponder::~PtyResponder() {
    stopping = true;
    worker.join();
}

void PtyResponder::Script(std::vector<ReplyChunk> reply) {
    std::lock_guard<std::mutex> lock(mutex);
    script.push_back(std::move(reply));
}

std::vector<Bytes> PtyResponder::Requests() {
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
}

void PtyResponder::Run() {
    Bytes pending;
    while (!stopping) {
        const int fd = pty.MasterFd();
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, pending.empty() ? 20 : 3);
        if (ready > 0 && (p.revents & POLLIN)) {
            std::uint8_t buffer[512];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) pending.insert(pending.end(), buffer, buffer + n);
            continue;
        }
        if (ready > 0) {  // hang-up without data: nobody has the port open yet
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (pending.empty()) continue;
        std::vector<ReplyChunk> reply;
        {
            std::lock_guard<std::mutex> lock(mutex);
            requests.push_back(pending);
            if (!script.empty()) {
                reply = std::move(script.front());
                script.pop_front();
            }
        }
        pending.clear();
        for (const auto& chunk : reply) {
            if (chunk.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(chunk.delayMs));
            if (!chunk.bytes.empty() && pty.MasterFd() >= 0) {
                (void)write(pty.MasterFd(), chunk.bytes.data(), chunk.bytes.size());
            }
        }
    }
}

}  // namespace vexlo::test

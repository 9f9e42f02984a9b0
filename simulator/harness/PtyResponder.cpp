#include "simulator/harness/PtyResponder.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace vexlo::test {

PtyResponder::PtyResponder(Mode mode) {
    worker = mode == Mode::Cable ? std::thread([this] { Relay(); }) : std::thread([this] { Serve(); });
}

PtyResponder::~PtyResponder() { Stop(); }

void PtyResponder::Stop() {
    stopping = true;
    if (worker.joinable()) worker.join();
}

void PtyResponder::VanishDevice() {
    Stop();
    pty.CloseMaster();
}

void PtyResponder::Script(std::vector<ReplyChunk> reply) {
    std::lock_guard<std::mutex> lock(mutex);
    script.push_back(std::move(reply));
}

std::vector<Bytes> PtyResponder::Requests() {
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
}

void PtyResponder::Serve() {
    const int fd = pty.MasterFd();
    Bytes pending;
    while (!stopping) {
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
            if (!chunk.bytes.empty()) (void)write(fd, chunk.bytes.data(), chunk.bytes.size());
        }
    }
}

void PtyResponder::Relay() {
    pollfd fds[2] = {{pty.MasterFd(), POLLIN, 0}, {far.MasterFd(), POLLIN, 0}};
    const int peers[2] = {far.MasterFd(), pty.MasterFd()};
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

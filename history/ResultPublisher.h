#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vexlo {

// [Publish] of the INI file: Broker=mqtt://HOST:PORT (no key: nothing is published), Topic=
// (default vexlo/<station>/results), ClientId= (default: the broker makes one up).
struct PublishSettings {
    static constexpr const char* kSection = "Publish";
    std::string host;
    int port = 1883;
    std::string topic;
    std::string clientId;

    bool Enabled() const { return !host.empty(); }
    std::string BrokerText() const;
};

// The publish settings of the INI file for that station. Nothing (and the reason, naming the file
// and the key) when Broker is there but is no mqtt://HOST:PORT; disabled settings without Broker.
std::optional<PublishSettings> ReadPublishSettings(const std::string& iniPath, int station, std::string& error);

// Delivers what the outbox of the store holds, oldest first, one message at a time at QoS 1; a row
// leaves the outbox only when the broker acknowledged it. True when the outbox is empty at the end;
// false, with the reason naming the broker or the store, when the broker cannot be reached or a
// message is not acknowledged within timeoutMs. For a command line's "publish".
bool DeliverPending(const std::string& storePath, const PublishSettings& settings, int timeoutMs, std::string& error);

// Delivers the outbox on a thread of its own while it lives: at once when told of a new result,
// and every second for rows left by other programs or for a broker that was away. It has its own
// connection to the store, so the console's thread never waits for the broker.
class ResultPublisher {
public:
    ResultPublisher(std::string storePath, PublishSettings settings);
    ~ResultPublisher();
    ResultPublisher(const ResultPublisher&) = delete;
    ResultPublisher& operator=(const ResultPublisher&) = delete;

    // A result was committed with an outbox entry.
    void Notify();

private:
    void Run();
    // Waits up to ms or until notified or stopped; true while running.
    bool Pause(int ms);

    std::string storePath;
    PublishSettings settings;
    std::mutex mutex;
    std::condition_variable wake;
    bool notified = false;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

}  // namespace vexlo

#include "history/ResultPublisher.h"

#include <mosquitto.h>

#include <chrono>
#include <functional>

#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "config/IniProfile.h"
#include "history/ResultJson.h"
#include "history/ResultStore.h"

namespace vexlo {
namespace {

using SteadyClock = std::chrono::steady_clock;

void InitialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// One connection to the broker, driven by the thread that owns it (no library thread): connect,
// then publish one message and wait for its PUBACK.
class MqttLink {
public:
    explicit MqttLink(const PublishSettings& settings) : settings(settings) { InitialiseLibrary(); }
    ~MqttLink() { Drop(); }
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    bool Connected() const { return connected; }
    std::string Broker() const { return settings.BrokerText(); }
    const std::string& Topic() const { return settings.topic; }

    bool Connect(SteadyClock::time_point deadline, const std::function<bool()>& stop, std::string& error) {
        // A new client for every connection: the library would otherwise send again, by itself, a
        // message it queued before the connection broke, and the outbox sends it too.
        Drop();
        handle = mosquitto_new(settings.clientId.empty() ? nullptr : settings.clientId.c_str(), true, this);
        if (!handle) {
            error = "The MQTT client could not be made.";
            return false;
        }
        mosquitto_connect_callback_set(handle, [](mosquitto*, void* self, int rc) {
            static_cast<MqttLink*>(self)->connected = rc == 0;
            static_cast<MqttLink*>(self)->answered = true;
        });
        mosquitto_disconnect_callback_set(handle,
                                          [](mosquitto*, void* self, int) { static_cast<MqttLink*>(self)->Lost(); });
        mosquitto_publish_callback_set(handle, [](mosquitto*, void* self, int mid) {
            if (mid == static_cast<MqttLink*>(self)->waitingFor) static_cast<MqttLink*>(self)->acknowledged = true;
        });
        answered = false;
        connected = false;
        // The socket connects without blocking: a broker far away cannot hold the thread up.
        int rc = mosquitto_connect_async(handle, settings.host.c_str(), settings.port, 30);
        while (rc == MOSQ_ERR_SUCCESS && !answered && SteadyClock::now() < deadline && !stop()) {
            rc = mosquitto_loop(handle, 100, 1);
        }
        if (!connected) {
            error =
                FormatText("The MQTT broker %s could not be reached%s%s.", settings.BrokerText().c_str(),
                           rc == MOSQ_ERR_SUCCESS ? "" : ": ", rc == MOSQ_ERR_SUCCESS ? "" : mosquitto_strerror(rc));
        }
        return connected;
    }

    bool Publish(const std::string& payload, SteadyClock::time_point deadline, const std::function<bool()>& stop) {
        acknowledged = false;
        int mid = 0;
        int rc = mosquitto_publish(handle, &mid, settings.topic.c_str(), static_cast<int>(payload.size()),
                                   payload.data(), 1, false);
        waitingFor = mid;
        while (rc == MOSQ_ERR_SUCCESS && connected && !acknowledged && SteadyClock::now() < deadline && !stop()) {
            rc = mosquitto_loop(handle, 100, 1);
        }
        if (rc != MOSQ_ERR_SUCCESS) Lost();
        return acknowledged;
    }

    // Keeps the connection alive while there is nothing to send.
    void Idle() {
        if (handle && connected && mosquitto_loop(handle, 0, 1) != MOSQ_ERR_SUCCESS) Lost();
    }

private:
    void Lost() { connected = false; }
    void Drop() {
        if (!handle) return;
        if (connected) mosquitto_disconnect(handle);
        mosquitto_destroy(handle);
        handle = nullptr;
        connected = false;
    }

    const PublishSettings& settings;
    mosquitto* handle = nullptr;
    bool answered = false;
    bool connected = false;
    bool acknowledged = false;
    int waitingFor = -1;
};

// Sends the outbox in order until it is empty (true) or a message fails (false).
bool DeliverOutbox(ResultStore& store, MqttLink& link, int timeoutMs, const std::function<bool()>& stop,
                   std::string& error) {
    while (!stop()) {
        const auto row = store.NextToPublish();
        if (!row) return store.PendingCount() == 0;
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
        if (!link.Connected() && !link.Connect(deadline, stop, error)) return false;
        if (!link.Publish(ResultJsonText(*row), deadline, stop)) {
            error = FormatText("The MQTT broker %s did not acknowledge result %lld on %s.", link.Broker().c_str(),
                               static_cast<long long>(row->id), link.Topic().c_str());
            return false;
        }
        if (!store.Published(row->id)) {
            error = store.LastError();
            return false;
        }
    }
    return false;
}

}  // namespace

std::string PublishSettings::BrokerText() const { return FormatText("mqtt://%s:%d", host.c_str(), port); }

#include "history/PublishSettingsRead.inc"

bool DeliverPending(const std::string& storePath, const PublishSettings& settings, int timeoutMs, std::string& error) {
    if (!settings.Enabled()) {
        error = "No broker is set: Broker=mqtt://HOST:PORT in [Publish] of the INI file.";
        return false;
    }
    ResultStore store;
    if (const auto failure = store.Open(storePath)) {
        error = *failure;
        return false;
    }
    MqttLink link(settings);
    return DeliverOutbox(
        store, link, timeoutMs, [] { return false; }, error);
}

ResultPublisher::ResultPublisher(std::string storePath, PublishSettings settings)
    : storePath(std::move(storePath)), settings(std::move(settings)), worker([this] { Run(); }) {}

ResultPublisher::~ResultPublisher() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
}

void ResultPublisher::Notify() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        notified = true;
    }
    wake.notify_all();
}

bool ResultPublisher::Pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return notified || stopping; });
    notified = false;
    return !stopping;
}

void ResultPublisher::Run() {
    ResultStore store;
    if (store.Open(storePath)) return;
    MqttLink link(settings);
    const auto stop = [this] { return stopping.load(); };
    std::string error;
    while (!stopping) {
        // Delivered, or the broker is away: look again in a second, or at once for a new result.
        (void)DeliverOutbox(store, link, 10000, stop, error);
        link.Idle();
        if (!Pause(1000)) break;
    }
}

}  // namespace vexlo

// Publishing in a build made without libmosquitto: the settings are read and checked as usual, and
// nothing is sent, which the command line's publish reports as a failure.
#include "history/ResultPublisher.h"

#include "common/TextFormat.h"
#include "common/TextParse.h"
#include "config/IniProfile.h"

namespace vexlo {

std::string PublishSettings::BrokerText() const { return FormatText("mqtt://%s:%d", host.c_str(), port); }

#include "history/PublishSettingsRead.inc"

bool DeliverPending(const std::string&, const PublishSettings&, int, std::string& error) {
    error = "This build has no MQTT client library: nothing can be published.";
    return false;
}

ResultPublisher::ResultPublisher(std::string path, PublishSettings publish)
    : storePath(std::move(path)), settings(std::move(publish)) {}
ResultPublisher::~ResultPublisher() = default;
void ResultPublisher::Notify() {}

}  // namespace vexlo

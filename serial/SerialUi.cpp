#include "serial/SerialUi.h"

#include <cstdio>

namespace vexlo {
namespace {

class StderrSerialUi final : public SerialUi {
public:
    void ShowPortError(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
};

SerialUi* installed = nullptr;

}  // namespace

void SetSerialUi(SerialUi* ui) { installed = ui; }

SerialUi& CurrentSerialUi() {
    static StderrSerialUi fallback;
    return installed != nullptr ? *installed : fallback;
}

}  // namespace vexlo

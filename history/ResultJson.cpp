#include "history/ResultJson.h"

#include "common/LocalTimestamp.h"
#include "instrument/UnitTable.h"

namespace vexlo {

nlohmann::json ResultJson(const StoredResult& row) {
    const HistoryEntry entry = row.Entry();
    nlohmann::json json;
    json["id"] = row.id;
    json["recordedAt"] = IsoTimestamp(row.recordedMs);
    json["source"] = SourceName(row.source);
    json["cycleEndedAt"] = row.cycleEndedMs ? nlohmann::json(IsoTimestamp(*row.cycleEndedMs)) : nlohmann::json();
    json["port"] = row.port;
    json["station"] = row.station;
    json["program"] = entry.program;
    json["testType"] = entry.testType;
    json["verdict"] = entry.Verdict();
    json["passed"] = entry.Passed();
    json["alarmCode"] = entry.alarmCode;
    for (int n = 0; n < static_cast<int>(kMeasureNames.size()); ++n) {
        const std::string name = kMeasureNames[static_cast<std::size_t>(n)];
        json[name] = row.raw.Measure(n) * 0.001;
        json[name + "Unit"] = UnitText(UnitCode(row.raw.Unit(n)));
    }
    json["raw"] = RawHex(row.raw);
    if (row.limits) {
        json["rejectTest"] = row.limits->test * 0.001;
        json["rejectRef"] = row.limits->reference * 0.001;
        json["rejectUnit"] = UnitText(UnitCode(row.limits->unit));
    } else {
        json["rejectTest"] = nullptr;
        json["rejectRef"] = nullptr;
        json["rejectUnit"] = nullptr;
    }
    json["partId"] = row.partId;
    json["operator"] = row.operatorName;
    json["batch"] = row.batchId;
    return json;
}

std::string ResultJsonText(const StoredResult& row) { return ResultJson(row).dump(); }

nlohmann::json HistoryJson(const std::vector<StoredResult>& rows) {
    nlohmann::json results = nlohmann::json::array();
    for (const auto& row : rows) results.push_back(ResultJson(row));
    return nlohmann::json{{"results", std::move(results)}};
}

}  // namespace vexlo

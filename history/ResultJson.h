#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "history/ResultStore.h"

namespace vexlo {

// A stored result as one JSON object with camelCase keys: what `history --json` lists and what
// the MQTT message carries. "id" is the store's id, so that a receiver can drop a message it has
// already had. Times are ISO 8601 with the UTC offset; measures are numbers with their unit text
// beside them; "raw" is the 72 bytes of the result block in hex.
nlohmann::json ResultJson(const StoredResult& row);
std::string ResultJsonText(const StoredResult& row);
// `history --json`: one object with a "results" array of ResultJson rows.
nlohmann::json HistoryJson(const std::vector<StoredResult>& rows);

}  // namespace vexlo

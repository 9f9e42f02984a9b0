#include "config/WindowPlacementRecord.h"

#include <type_traits>

#include "common/ByteImage.h"

namespace vexlo {
namespace {

// The record's eleven fields in their order on disk.
template <typename Record, typename Visit>
void ForEachField(Record& record, Visit visit) {
    visit(record.length);
    visit(record.flags);
    visit(record.showCommand);
    visit(record.minX);
    visit(record.minY);
    visit(record.maxX);
    visit(record.maxY);
    visit(record.left);
    visit(record.top);
    visit(record.right);
    visit(record.bottom);
}

}  // namespace

std::vector<std::uint8_t> WindowPlacementRecord::Encode() const {
    std::vector<std::uint8_t> bytes(kSize);
    std::uint8_t* at = bytes.data();
    ForEachField(*this, [&at](auto value) {
        StoreLe32(at, static_cast<std::int32_t>(value));
        at += 4;
    });
    return bytes;
}

std::optional<WindowPlacementRecord> WindowPlacementRecord::Decode(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() != kSize) return std::nullopt;
    WindowPlacementRecord record;
    const std::uint8_t* at = bytes.data();
    ForEachField(record, [&at](auto& field) {
        field = static_cast<std::remove_reference_t<decltype(field)>>(LoadLe32(at));
        at += 4;
    });
    return record;
}

}  // namespace vexlo

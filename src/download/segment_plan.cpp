// portable: builds without Win32
#include "download/segment_plan.h"

#include <algorithm>

#include "download/transfer_rules.h"

namespace nm::transfer {

SegmentPlan::SegmentPlan(std::int64_t file_size, std::int64_t segment_size, std::int64_t first_request_end) {
    segment_size = std::max<std::int64_t>(segment_size, 1);
    const std::int64_t asked = std::min(first_request_end, file_size);
    const std::int64_t first_piece_end = std::min(file_size, (asked + segment_size - 1) / segment_size * segment_size);
    connections_.push_back({0, asked, first_piece_end});
    for (std::int64_t offset = first_piece_end; offset < file_size; offset += segment_size)
        unstarted_.push_back({offset, std::min(offset + segment_size, file_size)});
}

int SegmentPlan::AddConnection() {
    connections_.push_back({});
    return static_cast<int>(connections_.size() - 1);
}

bool SegmentPlan::TakeWork(Piece& piece) {
    if (!unstarted_.empty()) {
        const ByteRange next = unstarted_.front();
        unstarted_.pop_front();
        piece = {next.first, next.first, next.end};
        return true;
    }
    Piece* busiest = nullptr;
    for (Piece& other : connections_)
        if (!busiest || other.end - other.requested > busiest->end - busiest->requested) busiest = &other;
    if (!busiest || busiest->end - busiest->requested < kMinimumTakeover) return false;
    // The upper half, cut at a block boundary of the file so progress stays
    // in whole blocks.
    const std::int64_t middle = busiest->requested + (busiest->end - busiest->requested) / 2;
    const std::int64_t cut = (middle + kBlockSize - 1) / kBlockSize * kBlockSize;
    piece = {cut, cut, busiest->end};
    busiest->end = cut;
    return true;
}

ByteRange SegmentPlan::NextRequest(int connection, std::int64_t wanted) {
    Piece& piece = connections_[connection];
    if (piece.position < piece.requested) return {piece.position, piece.requested};
    if (piece.position >= piece.end && !TakeWork(piece)) return {};
    // At most half of what is left (but not less than a first request), so
    // a free connection always finds a rest to take over, even where a server
    // answers the first bytes of each request at once and so looks faster
    // than it is. Whole blocks of the file, so no block is split between two
    // connections when the rest is taken over.
    const std::int64_t rest = piece.end - piece.position;
    const std::int64_t length = std::min(wanted, std::max(kFirstRequestLength, rest / 2));
    std::int64_t end = piece.end;
    if (length < rest) end = std::max(piece.position + 1, (piece.position + length) / kBlockSize * kBlockSize);
    piece.requested = end;
    return {piece.position, end};
}

void SegmentPlan::Advance(int connection, std::int64_t bytes) {
    Piece& piece = connections_[connection];
    piece.position = std::min(piece.position + bytes, piece.end);
}

}  // namespace nm::transfer

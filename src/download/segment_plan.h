// portable: builds without Win32
#pragma once
// Which connection fetches which bytes of a segmented file. Every connection
// works through one piece at a time in requests of its own length. One left
// without work takes the next segment nobody started, or else the upper half
// of what the busiest connection has not asked for yet, so the last
// connections do not run alone. Bookkeeping only: the caller holds a lock.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace nm::transfer {

// The bytes [first, end) of the file.
struct ByteRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
    bool empty() const { return end <= first; }
};

class SegmentPlan {
public:
    // Segments of `segment_size` cover the file. Connection 0 made the first
    // request, for [0, first_request_end): its piece runs to the end of the
    // segment that holds the last byte it asked for.
    SegmentPlan(std::int64_t file_size, std::int64_t segment_size, std::int64_t first_request_end);

    // A connection with no piece yet; its number.
    int AddConnection();
    // The next request of a connection: what it asked for and has not had
    // yet, else at most `wanted` bytes from where it stands, and no more than
    // half of its piece's rest beyond the first MiB. When its piece is done
    // it takes another first; empty when nothing is left for it.
    ByteRange NextRequest(int connection, std::int64_t wanted);
    // Bytes the connection received, in order from where it stands.
    void Advance(int connection, std::int64_t bytes);

    std::int64_t Position(int connection) const { return connections_[connection].position; }
    // Segments that nobody has started yet.
    size_t UnstartedSegments() const { return unstarted_.size(); }

private:
    struct Piece {
        std::int64_t position = 0;   // next byte to receive
        std::int64_t requested = 0;  // end of what was asked for
        std::int64_t end = 0;        // end of the piece
    };
    bool TakeWork(Piece& piece);

    std::vector<Piece> connections_;
    std::deque<ByteRange> unstarted_;
};

// Below this, what a connection has not asked for yet stays with it: a new
// request would cost more than it saves.
constexpr std::int64_t kMinimumTakeover = 256 * 1024;

}  // namespace nm::transfer

#include "rpcrecord.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vdvisa {

namespace {
RecordReader::Status fromSource(ByteSource::Result result)
{
    return result == ByteSource::Result::TimedOut ? RecordReader::Status::TimedOut
                                                  : RecordReader::Status::Closed;
}
} // namespace

RecordReader::RecordReader(size_t maxRecordBytes, size_t bufferBytes)
    : cap(maxRecordBytes), capacity(std::max<size_t>(bufferBytes, 8)), buffer(new char[capacity])
{
}

void RecordReader::reset()
{
    begin_ = end = 0;
    inRecord = false;
    recordWire = 0;
    fragmentLeft = 0;
    lastFragment = false;
    failed = false;
}

bool RecordReader::restKnown(size_t &rest) const
{
    rest = inRecord ? fragmentLeft : 0;
    return !inRecord || lastFragment;
}

RecordReader::Status RecordReader::begin(ByteSource &source, const Deadline &deadline)
{
    // A record is under way once its first mark has been taken (a mark counts in recordWire).
    if (inRecord && recordWire > 0) {
        const Status skipped = skipRest(source, deadline);
        if (skipped != Status::Ok)
            return skipped;
    }
    if (failed)
        return Status::Malformed;
    inRecord = true;
    recordWire = 0;
    fragmentLeft = 0;
    lastFragment = false;
    return Status::Ok;
}

RecordReader::Status RecordReader::fill(ByteSource &source, const Deadline &deadline)
{
    if (begin_ == end) {
        begin_ = end = 0;
    } else if (end == capacity) {
        // Only a mark cut in two can be left over here: a few bytes.
        std::memmove(buffer.get(), buffer.get() + begin_, buffered());
        end -= begin_;
        begin_ = 0;
    }
    size_t received = 0;
    const ByteSource::Result result =
        source.receive(buffer.get() + end, capacity - end, deadline, received);
    if (result != ByteSource::Result::Data)
        return fromSource(result);
    end += received;
    return Status::Ok;
}

RecordReader::Status RecordReader::nextMark(ByteSource &source, const Deadline &deadline)
{
    while (buffered() < 4) {
        const Status filled = fill(source, deadline);
        if (filled != Status::Ok)
            return filled;
    }
    const unsigned char *b = reinterpret_cast<const unsigned char *>(buffer.get() + begin_);
    const uint32_t word = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    begin_ += 4;
    lastFragment = (word & 0x80000000u) != 0;
    fragmentLeft = word & 0x7fffffffu;
    recordWire += 4;
    if (recordWire > cap || fragmentLeft > cap - recordWire) {
        failed = true;
        return Status::Malformed;
    }
    recordWire += fragmentLeft;
    if (fragmentLeft == 0 && lastFragment)
        inRecord = false;
    return Status::Ok;
}

RecordReader::Status RecordReader::step(ByteSource &source, char *into, size_t size,
                                        const Deadline &deadline, size_t &moved, const char **piece)
{
    moved = 0;
    if (failed)
        return Status::Malformed;
    if (fragmentLeft == 0)
        return nextMark(source, deadline);
    const size_t take = std::min(size, fragmentLeft);
    if (buffered() == 0 && into && take >= capacity / 4) {
        // A long run of data goes from the socket straight to where it is wanted.
        const ByteSource::Result result = source.receive(into, take, deadline, moved);
        if (result != ByteSource::Result::Data)
            return fromSource(result);
    } else {
        if (buffered() == 0) {
            const Status filled = fill(source, deadline);
            if (filled != Status::Ok)
                return filled;
        }
        moved = std::min(take, buffered());
        if (into)
            std::memcpy(into, buffer.get() + begin_, moved);
        if (piece)
            *piece = buffer.get() + begin_;
        begin_ += moved;
    }
    fragmentLeft -= moved;
    if (fragmentLeft == 0 && lastFragment)
        inRecord = false;
    return Status::Ok;
}

RecordReader::Status RecordReader::readSome(ByteSource &source, char *into, size_t size,
                                            const Deadline &deadline, size_t &got)
{
    got = 0;
    while (got < size && inRecord) {
        size_t moved = 0;
        const Status status = step(source, into + got, size - got, deadline, moved);
        got += moved;
        if (status != Status::Ok)
            return status;
    }
    return failed ? Status::Malformed : Status::Ok;
}

RecordReader::Status RecordReader::read(ByteSource &source, char *into, size_t size,
                                        const Deadline &deadline)
{
    size_t got = 0;
    const Status status = readSome(source, into, size, deadline, got);
    return status == Status::Ok && got < size ? Status::Malformed : status;
}

RecordReader::Status RecordReader::readRest(ByteSource &source, std::string &out,
                                            const Deadline &deadline)
{
    while (inRecord) {
        // Taken from the buffer piece by piece: what out holds has arrived, never more.
        const char *piece = nullptr;
        size_t moved = 0;
        const Status status = step(source, nullptr, capacity, deadline, moved, &piece);
        if (moved > 0)
            out.append(piece, moved);
        if (status != Status::Ok)
            return status;
    }
    return failed ? Status::Malformed : Status::Ok;
}

RecordReader::Status RecordReader::skipRest(ByteSource &source, const Deadline &deadline,
                                            size_t *skipped)
{
    if (skipped)
        *skipped = 0;
    while (inRecord) {
        size_t moved = 0;
        const Status status = step(source, nullptr, capacity, deadline, moved);
        if (skipped)
            *skipped += moved;
        if (status != Status::Ok)
            return status;
    }
    return failed ? Status::Malformed : Status::Ok;
}

} // namespace vdvisa

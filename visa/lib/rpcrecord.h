#pragma once

#include "deadline.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vdvisa {

// Where a record reader gets its bytes: a connected socket, or memory in the fuzz targets.
class ByteSource
{
public:
    enum class Result
    {
        Data,     // `received` bytes (at least one) were stored
        TimedOut, // nothing came before the deadline
        Closed    // end of stream or a broken connection
    };
    virtual ~ByteSource() = default;
    virtual Result receive(char *into, size_t size, const Deadline &deadline, size_t &received) = 0;
};

// ONC RPC record marking on a TCP stream (RFC 5531, 11): a record is a run of fragments, each
// behind a 4-byte mark holding its length and, in the top bit, "last fragment". The reader
// hands out the bytes of one record at a time, wherever the caller wants them: small pieces
// (headers) come through one buffer of its own that is allocated once and reused, long runs
// (the data of a bulk read) go from the socket straight into the caller's memory. A record
// whose fragments, with their marks (so that empty fragments count too), would exceed the cap
// breaks the stream when its mark arrives, before any of its data is taken: whatever a peer
// announces, no record of it takes more than the cap.
class RecordReader
{
public:
    enum class Status
    {
        Ok,
        TimedOut,
        Closed,
        Malformed // over the cap, or the record ended before the bytes asked for
    };

    explicit RecordReader(size_t maxRecordBytes, size_t bufferBytes = 65536);

    // Starts the next record; whatever is left of the current one is skipped first, so that a
    // record given up half-way (a time-out) does not put the stream out of step.
    Status begin(ByteSource &source, const Deadline &deadline);
    // Exactly size bytes of the current record into `into`.
    Status read(ByteSource &source, char *into, size_t size, const Deadline &deadline);
    // Up to size bytes of the current record, fewer only where the record ends.
    Status readSome(ByteSource &source, char *into, size_t size, const Deadline &deadline,
                    size_t &got);
    // Appends the rest of the current record to out.
    Status readRest(ByteSource &source, std::string &out, const Deadline &deadline);
    // Drops the rest of the current record; `skipped` counts its bytes.
    Status skipRest(ByteSource &source, const Deadline &deadline, size_t *skipped = nullptr);

    // True when the current record has no bytes left.
    bool atEnd() const { return !inRecord; }
    // How many bytes the current record still holds, once its last fragment has begun;
    // otherwise false (more fragments may follow).
    bool restKnown(size_t &rest) const;
    void reset();

private:
    // One step through the current record: the next mark when a fragment is used up, else
    // up to size bytes into `into`, or (into null) left in the buffer at *piece until the next
    // step. `moved` counts the record bytes passed.
    Status step(ByteSource &source, char *into, size_t size, const Deadline &deadline,
                size_t &moved, const char **piece = nullptr);
    Status nextMark(ByteSource &source, const Deadline &deadline);
    Status fill(ByteSource &source, const Deadline &deadline);
    size_t buffered() const { return end - begin_; }

    size_t cap;
    size_t capacity;
    std::unique_ptr<char[]> buffer; // received, not yet handed out: [begin_, end)
    size_t begin_ = 0;
    size_t end = 0;
    bool inRecord = false;
    size_t recordWire = 0;   // bytes of the current record on the wire, marks included
    size_t fragmentLeft = 0; // bytes of the current fragment still to come
    bool lastFragment = false;
    bool failed = false;
};

} // namespace vdvisa

#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace vdvisa {

// ONC RPC record marking on a TCP stream (RFC 5531, 11): a record is a run of fragments, each
// behind a 4-byte mark holding its length and, in the top bit, "last fragment". Bytes are fed
// as they arrive and every byte is looked at once. A record whose fragments, with their marks
// (so that empty fragments count too), would exceed the cap breaks the stream before any of
// its data is stored: a peer cannot make us hold more than the cap, whatever it announces.
class RecordAssembler
{
public:
    explicit RecordAssembler(size_t maxRecordBytes) : cap(maxRecordBytes) {}

    // False once the stream has broken the cap; nothing more is taken after that.
    bool feed(const char *data, size_t size);
    // The oldest complete record, if any.
    bool next(std::string &record);
    bool broken() const { return failed; }
    void reset();

private:
    size_t cap;
    std::deque<std::string> complete;
    std::string current;       // fragments of the record being assembled
    size_t currentWire = 0;    // its bytes on the wire, marks included
    char mark[4] = {};
    size_t markBytes = 0;      // bytes of the next mark seen so far
    size_t fragmentLeft = 0;   // bytes of the current fragment still to come
    bool lastFragment = false;
    bool failed = false;
};

} // namespace vdvisa

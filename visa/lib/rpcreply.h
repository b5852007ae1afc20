#pragma once

#include "deadline.h"
#include "rpcrecord.h"

#include <rpc/rpc.h>

#include <map>
#include <set>
#include <string>

namespace vdvisa {

// The transaction id a reply record starts with; false if the record is too short.
bool replyXid(const char *record, size_t size, u_int32_t &xid);

// Decodes an ONC RPC reply record (RFC 5531): the header, then the results with decodeResult.
// Nothing is allocated from lengths the peer announces (the verifier goes into a buffer of its
// maximum size); results that carry variable-length data use a decoder that checks them
// against the record first, such as xdrReadReply. `consumed`, if given, receives how far the
// decoding got into the record.
clnt_stat decodeReply(const char *record, size_t size, xdrproc_t decodeResult, void *result,
                      size_t *consumed = nullptr);

// A device_read reply. Its data are not copied by decoding: they stay where they are and
// `data` points at them.
struct ReadReply
{
    long error = 0;
    long reason = 0;
    u_int length = 0;
    const char *data = nullptr;
};
// The whole reply, when the record in memory holds its data (checked before `data` is set).
bool_t xdrReadReply(XDR *xdrs, ReadReply *reply);
// Only error, reason and the data's length: the data follow in the stream.
bool_t xdrReadReplyHead(XDR *xdrs, ReadReply *reply);

// The replies of one connection, taken from its record stream. A reply is matched to its call
// by transaction id: the reply of a call still wanted that comes before its turn is kept for
// later; any other (the late reply of a call given up) is dropped unread. The data of a
// device_read reply go from the stream straight into the caller's buffer, after their length
// has been checked against the room there; every other reply is decoded in memory.
class ReplyReader
{
public:
    explicit ReplyReader(size_t maxRecordBytes, size_t bufferBytes = 65536)
        : records(maxRecordBytes, bufferBytes)
    {
    }

    // A call has gone out whose reply is wanted.
    void expect(u_int32_t xid) { outstanding.insert(xid); }
    clnt_stat receive(ByteSource &source, u_int32_t xid, xdrproc_t decodeResult, void *result,
                      const Deadline &deadline);
    // On success reply.length is what the device sent; when that is at most capacity the
    // data are in `into` (and reply.data points there), else nothing was copied.
    clnt_stat receiveRead(ByteSource &source, u_int32_t xid, ReadReply &reply, char *into,
                          size_t capacity, const Deadline &deadline);
    void reset();

private:
    // Finds the reply to xid: the start of its record is in head (the rest, if any, still
    // in the stream), or the whole record is in `record` (kept from before its turn).
    clnt_stat find(ByteSource &source, u_int32_t xid, const Deadline &deadline, bool &kept);
    clnt_stat streamRead(ByteSource &source, ReadReply &reply, char *into, size_t capacity,
                         const Deadline &deadline);

    // Enough for any reply header (its verifier at the largest) and device_read's first words.
    static constexpr size_t headBytes = 512;

    RecordReader records;
    std::set<u_int32_t> outstanding;
    std::map<u_int32_t, std::string> earlyReplies;
    std::string record;
    char head[headBytes];
    size_t headSize = 0;
};

} // namespace vdvisa

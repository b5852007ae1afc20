// Reply records from a VXI-11 server as they come off the stream, in pieces of any size, read
// the way our library reads them: calls 1 to 8 are waiting, and their replies are taken in
// turn (device_read replies straight into a caller's buffer of a given size, the others
// decoded in memory), replies that come before their turn are kept, others dropped. Then the
// same bytes go through the in-memory reply decoders as one record.
// Input: one byte for the piece size, one for the caller's buffer size, then the stream.
#include "rpcreply.h"
#include "vxi11.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
// The stream as it arrives, `piece` bytes at most per receive, then the end of the connection.
class MemorySource : public vdvisa::ByteSource
{
public:
    MemorySource(const uint8_t *bytes, size_t count, size_t pieceSize)
        : data(bytes), size(count), piece(pieceSize)
    {
    }
    Result receive(char *into, size_t room, const vdvisa::Deadline &, size_t &received) override
    {
        received = 0;
        if (at >= size)
            return Result::Closed;
        received = std::min({room, piece, size - at});
        std::memcpy(into, data + at, received);
        at += received;
        return Result::Data;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t piece;
    size_t at = 0;
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t piece = size_t(data[0]) + 1;
    const size_t capacity = size_t(data[1]) * 9;
    data += 2;
    size -= 2;
    // Exactly the caller's room, so that a byte written past it is caught.
    std::unique_ptr<char[]> into(new char[capacity]);
    MemorySource source(data, size, piece);
    // A small buffer of the reader's own: long runs go straight to the caller's buffer.
    vdvisa::ReplyReader replies(1u << 16, 64);
    const vdvisa::Deadline deadline(1000);
    for (u_int32_t xid = 1; xid <= 8; ++xid)
        replies.expect(xid);
    for (u_int32_t xid = 1; xid <= 8; ++xid) {
        if (xid % 3 == 1) {
            vdvisa::ReadReply read;
            if (replies.receiveRead(source, xid, read, into.get(), capacity, deadline) ==
                    RPC_SUCCESS &&
                read.length <= capacity)
                check(read.data == into.get() || read.length == 0);
        } else if (xid % 3 == 2) {
            Device_WriteResp written{};
            replies.receive(source, xid, xdrproc_t(xdr_Device_WriteResp), &written, deadline);
        } else if (xid == 3) {
            Create_LinkResp link{};
            replies.receive(source, xid, xdrproc_t(xdr_Create_LinkResp), &link, deadline);
        } else {
            u_long port = 0;
            replies.receive(source, xid, xdrproc_t(xdr_u_long), &port, deadline);
        }
    }

    const char *record = reinterpret_cast<const char *>(data);
    u_int32_t xid = 0;
    vdvisa::replyXid(record, size, xid);
    vdvisa::ReadReply read;
    if (vdvisa::decodeReply(record, size, xdrproc_t(vdvisa::xdrReadReply), &read) == RPC_SUCCESS &&
        read.length > 0)
        check(read.data >= record && read.data + read.length <= record + size);
    Device_Error error{};
    vdvisa::decodeReply(record, size, xdrproc_t(xdr_Device_Error), &error);
    return 0;
}

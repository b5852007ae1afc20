// Reply records from a VXI-11 server as they come off the stream, in pieces of any size: the
// record reader, then every reply decoder our library uses.
#include "rpcrecord.h"
#include "rpcreply.h"
#include "rpcsocket.h"
#include "vxi11.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte sets the size of the pieces the stream arrives in.
    const size_t piece = size_t(data[0]) + 1;
    vdvisa::RecordAssembler assembler(1u << 16);
    std::string record;
    for (size_t at = 1; at < size; at += piece) {
        const size_t n = std::min(piece, size - at);
        assembler.feed(reinterpret_cast<const char *>(data + at), n);
        while (assembler.next(record)) {
            u_int32_t xid = 0;
            vdvisa::replyXid(record, xid);
            vdvisa::ReadReply read;
            vdvisa::decodeReply(record, xdrproc_t(vdvisa::xdrReadReply), &read);
            Create_LinkResp link{};
            vdvisa::decodeReply(record, xdrproc_t(xdr_Create_LinkResp), &link);
            Device_WriteResp written{};
            vdvisa::decodeReply(record, xdrproc_t(xdr_Device_WriteResp), &written);
            Device_Error error{};
            vdvisa::decodeReply(record, xdrproc_t(xdr_Device_Error), &error);
            u_long port = 0;
            vdvisa::decodeReply(record, xdrproc_t(xdr_u_long), &port);
        }
        if (assembler.broken())
            break;
    }
    return 0;
}

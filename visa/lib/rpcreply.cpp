#include "rpcreply.h"

#include <algorithm>
#include <cstring>

namespace vdvisa {

namespace {
clnt_stat fromRecord(RecordReader::Status status)
{
    switch (status) {
    case RecordReader::Status::Ok:
        return RPC_SUCCESS;
    case RecordReader::Status::TimedOut:
        return RPC_TIMEDOUT;
    case RecordReader::Status::Closed:
        return RPC_CANTRECV;
    case RecordReader::Status::Malformed:
        break;
    }
    return RPC_CANTDECODERES;
}

size_t padded(u_int length)
{
    return (size_t(length) + 3) & ~size_t(3);
}

// Copies the data of a reply decoded in memory, if the caller has room for them.
void copyOut(ReadReply &reply, char *into, size_t capacity)
{
    if (reply.length > capacity)
        return;
    if (reply.length > 0)
        std::memcpy(into, reply.data, reply.length);
    reply.data = into;
}
} // namespace

bool replyXid(const char *record, size_t size, u_int32_t &xid)
{
    if (size < 4)
        return false;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(record);
    xid = u_int32_t(b[0]) << 24 | u_int32_t(b[1]) << 16 | u_int32_t(b[2]) << 8 | b[3];
    return true;
}

clnt_stat decodeReply(const char *record, size_t size, xdrproc_t decodeResult, void *result,
                      size_t *consumed)
{
    if (size > 0xffffffffu)
        return RPC_CANTDECODERES;
    // The header is read word by word: the peer's words never land in an enum of ours.
    XDR decoder;
    xdrmem_create(&decoder, const_cast<char *>(record), u_int(size), XDR_DECODE);
    u_int xid = 0, direction = 0, replyStat = 0, flavor = 0, verifierLength = 0, acceptStat = 0;
    char verifier[MAX_AUTH_BYTES];
    clnt_stat status = RPC_CANTDECODERES;
    if (!xdr_u_int(&decoder, &xid) || !xdr_u_int(&decoder, &direction) || direction != REPLY ||
        !xdr_u_int(&decoder, &replyStat)) {
        status = RPC_CANTDECODERES;
    } else if (replyStat != MSG_ACCEPTED) {
        status = RPC_AUTHERROR;
    } else if (!xdr_u_int(&decoder, &flavor) || !xdr_u_int(&decoder, &verifierLength) ||
               verifierLength > MAX_AUTH_BYTES ||
               !xdr_opaque(&decoder, verifier, verifierLength) ||
               !xdr_u_int(&decoder, &acceptStat)) {
        status = RPC_CANTDECODERES;
    } else {
        switch (acceptStat) {
        case SUCCESS:
            status = decodeResult(&decoder, result) ? RPC_SUCCESS : RPC_CANTDECODERES;
            break;
        case PROG_UNAVAIL:
            status = RPC_PROGUNAVAIL;
            break;
        case PROG_MISMATCH:
            status = RPC_PROGVERSMISMATCH;
            break;
        case PROC_UNAVAIL:
            status = RPC_PROCUNAVAIL;
            break;
        case GARBAGE_ARGS:
            status = RPC_CANTDECODEARGS;
            break;
        default:
            status = RPC_SYSTEMERROR;
        }
    }
    if (consumed)
        *consumed = xdr_getpos(&decoder);
    xdr_destroy(&decoder);
    return status;
}

bool_t xdrReadReplyHead(XDR *xdrs, ReadReply *reply)
{
    if (xdrs->x_op != XDR_DECODE)
        return FALSE;
    reply->data = nullptr;
    return xdr_long(xdrs, &reply->error) && xdr_long(xdrs, &reply->reason) &&
           xdr_u_int(xdrs, &reply->length);
}

bool_t xdrReadReply(XDR *xdrs, ReadReply *reply)
{
    if (!xdrReadReplyHead(xdrs, reply))
        return FALSE;
    if (reply->length == 0)
        return TRUE;
    // The padded length must lie inside the record: inline access succeeds only then.
    const u_int paddedLength = (reply->length + 3u) & ~3u;
    if (paddedLength < reply->length)
        return FALSE;
    reply->data = reinterpret_cast<const char *>(XDR_INLINE(xdrs, paddedLength));
    return reply->data != nullptr;
}

void ReplyReader::reset()
{
    records.reset();
    outstanding.clear();
    earlyReplies.clear();
    headSize = 0;
}

clnt_stat ReplyReader::find(ByteSource &source, u_int32_t xid, const Deadline &deadline, bool &kept)
{
    kept = false;
    auto early = earlyReplies.find(xid);
    if (early != earlyReplies.end()) {
        record.swap(early->second);
        earlyReplies.erase(early);
        outstanding.erase(xid);
        kept = true;
        return RPC_SUCCESS;
    }
    for (;;) {
        RecordReader::Status status = records.begin(source, deadline);
        if (status == RecordReader::Status::Ok)
            status = records.readSome(source, head, headBytes, deadline, headSize);
        if (status != RecordReader::Status::Ok) {
            // Given up: a late reply to this call will be recognised and dropped.
            outstanding.erase(xid);
            return fromRecord(status);
        }
        u_int32_t replyTo = 0;
        const bool header = replyXid(head, headSize, replyTo);
        if (header && replyTo == xid) {
            outstanding.erase(xid);
            return RPC_SUCCESS;
        }
        const bool keep = header && outstanding.count(replyTo);
        if (keep) {
            std::string &later = earlyReplies[replyTo];
            later.assign(head, headSize);
            status = records.readRest(source, later, deadline);
        } else {
            status = records.skipRest(source, deadline);
        }
        if (status != RecordReader::Status::Ok) {
            if (keep)
                earlyReplies.erase(replyTo);
            outstanding.erase(xid);
            return fromRecord(status);
        }
    }
}

clnt_stat ReplyReader::receive(ByteSource &source, u_int32_t xid, xdrproc_t decodeResult,
                               void *result, const Deadline &deadline)
{
    bool kept = false;
    clnt_stat status = find(source, xid, deadline, kept);
    if (status != RPC_SUCCESS)
        return status;
    if (kept)
        return decodeReply(record.data(), record.size(), decodeResult, result);
    if (records.atEnd())
        return decodeReply(head, headSize, decodeResult, result);
    record.assign(head, headSize);
    status = fromRecord(records.readRest(source, record, deadline));
    return status != RPC_SUCCESS ? status
                                 : decodeReply(record.data(), record.size(), decodeResult, result);
}

clnt_stat ReplyReader::receiveRead(ByteSource &source, u_int32_t xid, ReadReply &reply, char *into,
                                   size_t capacity, const Deadline &deadline)
{
    reply = ReadReply();
    bool kept = false;
    clnt_stat status = find(source, xid, deadline, kept);
    if (status != RPC_SUCCESS)
        return status;
    if (kept || records.atEnd()) {
        // A short reply (or one kept from before its turn): all of it is in memory.
        status = kept ? decodeReply(record.data(), record.size(), xdrproc_t(xdrReadReply), &reply)
                      : decodeReply(head, headSize, xdrproc_t(xdrReadReply), &reply);
        if (status == RPC_SUCCESS)
            copyOut(reply, into, capacity);
        return status;
    }
    return streamRead(source, reply, into, capacity, deadline);
}

clnt_stat ReplyReader::streamRead(ByteSource &source, ReadReply &reply, char *into, size_t capacity,
                                  const Deadline &deadline)
{
    size_t position = 0;
    clnt_stat status = decodeReply(head, headSize, xdrproc_t(xdrReadReplyHead), &reply, &position);
    if (status != RPC_SUCCESS)
        return status;
    const size_t inHead = headSize - position;
    const size_t wire = padded(reply.length);
    size_t rest = 0;
    if (reply.length > capacity) {
        // More than was asked for: nothing of it is copied, but the record must hold it all,
        // or it is not a reply at all.
        status = fromRecord(records.skipRest(source, deadline, &rest));
        return status != RPC_SUCCESS   ? status
               : inHead + rest >= wire ? RPC_SUCCESS
                                       : RPC_CANTDECODERES;
    }
    // A record whose end is already known must hold the data before any of them is copied.
    if (records.restKnown(rest) && inHead + rest < wire)
        return RPC_CANTDECODERES;
    const size_t fromHead = std::min<size_t>(inHead, reply.length);
    if (fromHead > 0)
        std::memcpy(into, head + position, fromHead);
    status = fromRecord(records.read(source, into + fromHead, reply.length - fromHead, deadline));
    if (status != RPC_SUCCESS)
        return status;
    // The padding (and anything a peer adds after it) ends the record.
    status = fromRecord(records.skipRest(source, deadline, &rest));
    if (status != RPC_SUCCESS)
        return status;
    if (inHead - fromHead + rest < wire - reply.length)
        return RPC_CANTDECODERES;
    reply.data = into;
    return RPC_SUCCESS;
}

} // namespace vdvisa

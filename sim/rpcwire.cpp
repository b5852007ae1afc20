#include "rpcwire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>

namespace RpcWire {

bool RecordReader::next(QByteArray &record)
{
    for (;;) {
        // Take the whole fragments that have arrived; each byte is copied once.
        int position = 0;
        while (buffered.size() - position >= 4) {
            u_int32_t mark = 0;
            std::memcpy(&mark, buffered.constData() + position, 4);
            mark = ntohl(mark);
            const u_int32_t length = mark & 0x7fffffffu;
            // Marks count too, so that a stream of empty fragments cannot go on for ever.
            if (assembledWire + 4 + quint64(length) > maxRecordSize)
                return false;
            if (u_int32_t(buffered.size() - position - 4) < length)
                break;
            assembling.append(buffered.constData() + position + 4, int(length));
            assembledWire += 4 + length;
            position += 4 + int(length);
            if (mark & 0x80000000u) {
                buffered.remove(0, position);
                record.swap(assembling);
                assembling.clear();
                assembledWire = 0;
                return true;
            }
        }
        buffered.remove(0, position);
        char chunk[65536];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffered.append(chunk, int(n));
    }
}

bool writeRecord(int fd, const Reply &reply)
{
    static const char padding[4] = {};
    const size_t pad = size_t(-reply.dataSize) & 3u;
    const u_int32_t mark =
        htonl(0x80000000u | u_int32_t(reply.encoded.size() + reply.dataSize + int(pad)));
    iovec pieces[4] = {
        {const_cast<u_int32_t *>(&mark), 4},
        {const_cast<char *>(reply.encoded.constData()), size_t(reply.encoded.size())},
        {const_cast<char *>(reply.data.constData() + reply.dataFrom), size_t(reply.dataSize)},
        {const_cast<char *>(padding), pad}};
    iovec *next = pieces;
    int left = 4;
    while (left > 0) {
        msghdr message{};
        message.msg_iov = next;
        message.msg_iovlen = size_t(left);
        ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        // Past what went out: whole pieces, then part of one.
        size_t sent = size_t(n);
        for (; left > 0 && sent >= next->iov_len; --left, ++next)
            sent -= next->iov_len;
        if (left > 0) {
            next->iov_base = static_cast<char *>(next->iov_base) + sent;
            next->iov_len -= sent;
        }
    }
    return true;
}

bool writeRecord(int fd, const QByteArray &body)
{
    Reply reply;
    reply.encoded = body;
    return writeRecord(fd, reply);
}

bool decodeCall(const QByteArray &message, XDR &xdr, Call &call)
{
    xdrmem_create(&xdr, const_cast<char *>(message.constData()), u_int(message.size()), XDR_DECODE);
    rpc_msg header{};
    char credentials[MAX_AUTH_BYTES];
    char verifier[MAX_AUTH_BYTES];
    header.rm_call.cb_cred.oa_base = credentials;
    header.rm_call.cb_verf.oa_base = verifier;
    if (!xdr_callmsg(&xdr, &header) || header.rm_direction != CALL ||
        header.rm_call.cb_rpcvers != RPC_MSG_VERSION)
        return false;
    call.xid = header.rm_xid;
    call.program = header.rm_call.cb_prog;
    call.version = header.rm_call.cb_vers;
    call.procedure = header.rm_call.cb_proc;
    return true;
}

namespace {
QByteArray encodeReply(rpc_msg &reply, u_long resultSize)
{
    QByteArray buffer(int(resultSize + 128), Qt::Uninitialized);
    XDR xdr;
    xdrmem_create(&xdr, buffer.data(), u_int(buffer.size()), XDR_ENCODE);
    bool ok = xdr_replymsg(&xdr, &reply);
    const u_int length = xdr_getpos(&xdr);
    xdr_destroy(&xdr);
    if (!ok)
        return QByteArray();
    buffer.truncate(int(length));
    return buffer;
}
} // namespace

QByteArray acceptedReply(u_int32_t xid, xdrproc_t encodeResult, const void *result)
{
    rpc_msg reply{};
    reply.rm_xid = xid;
    reply.rm_direction = REPLY;
    reply.rm_reply.rp_stat = MSG_ACCEPTED;
    reply.acpted_rply.ar_verf = _null_auth;
    reply.acpted_rply.ar_stat = SUCCESS;
    reply.acpted_rply.ar_results.where = reinterpret_cast<caddr_t>(const_cast<void *>(result));
    reply.acpted_rply.ar_results.proc = encodeResult;
    return encodeReply(reply, xdr_sizeof(encodeResult, const_cast<void *>(result)));
}

QByteArray errorReply(u_int32_t xid, accept_stat status, rpcvers_t low, rpcvers_t high)
{
    rpc_msg reply{};
    reply.rm_xid = xid;
    reply.rm_direction = REPLY;
    reply.rm_reply.rp_stat = MSG_ACCEPTED;
    reply.acpted_rply.ar_verf = _null_auth;
    reply.acpted_rply.ar_stat = status;
    reply.acpted_rply.ar_vers.low = low;
    reply.acpted_rply.ar_vers.high = high;
    return encodeReply(reply, 0);
}

} // namespace RpcWire

#include "rpcreply.h"

#include <cstring>

namespace vdvisa {

bool replyXid(const std::string &record, u_int32_t &xid)
{
    if (record.size() < 4)
        return false;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(record.data());
    xid = u_int32_t(b[0]) << 24 | u_int32_t(b[1]) << 16 | u_int32_t(b[2]) << 8 | b[3];
    return true;
}

clnt_stat decodeReply(const std::string &record, xdrproc_t decodeResult, void *result)
{
    // The header is read word by word: the peer's words never land in an enum of ours.
    XDR decoder;
    xdrmem_create(&decoder, const_cast<char *>(record.data()), u_int(record.size()), XDR_DECODE);
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
    xdr_destroy(&decoder);
    return status;
}

bool_t xdrReadReply(XDR *xdrs, ReadReply *reply)
{
    if (xdrs->x_op != XDR_DECODE)
        return FALSE;
    u_int length = 0;
    if (!xdr_long(xdrs, &reply->error) || !xdr_long(xdrs, &reply->reason) ||
        !xdr_u_int(xdrs, &length))
        return FALSE;
    if (length == 0) {
        reply->data.clear();
        return TRUE;
    }
    // The padded length must lie inside the record: inline access succeeds only then.
    const u_int padded = (length + 3u) & ~3u;
    if (padded < length)
        return FALSE;
    const char *bytes = reinterpret_cast<const char *>(XDR_INLINE(xdrs, padded));
    if (!bytes)
        return FALSE;
    reply->data.assign(bytes, length);
    return TRUE;
}

} // namespace vdvisa

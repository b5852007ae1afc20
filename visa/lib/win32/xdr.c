/*
 * XDR over memory and the ONC RPC message headers, for the Windows build of our VISA library.
 * Every item is a multiple of four bytes, big-endian; opaque data and strings are padded with
 * zero bytes. A decoder never reads past the end of its memory and never allocates more than
 * the limit its caller gives.
 */
#include <rpc/pmap_prot.h>
#include <rpc/rpc.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>

const struct opaque_auth _null_auth = {AUTH_NONE, NULL, 0};

void xdrmem_create(XDR *xdrs, char *addr, u_int size, enum xdr_op op)
{
    xdrs->x_op = op;
    xdrs->x_base = addr;
    xdrs->x_size = size;
    xdrs->x_pos = 0;
}

u_int xdr_getpos(const XDR *xdrs)
{
    return xdrs->x_pos;
}

bool_t xdr_setpos(XDR *xdrs, u_int pos)
{
    if (pos > xdrs->x_size)
        return FALSE;
    xdrs->x_pos = pos;
    return TRUE;
}

/* Room for size more bytes; a counting stream (no memory) always has it. */
static int room(const XDR *xdrs, u_int size)
{
    return xdrs->x_size - xdrs->x_pos >= size;
}

int32_t *xdr_inline(XDR *xdrs, u_int size)
{
    if (!xdrs->x_base || size % BYTES_PER_XDR_UNIT != 0 || !room(xdrs, size))
        return NULL;
    int32_t *here = (int32_t *)(void *)(xdrs->x_base + xdrs->x_pos);
    xdrs->x_pos += size;
    return here;
}

static bool_t putWord(XDR *xdrs, uint32_t value)
{
    if (!room(xdrs, 4))
        return FALSE;
    if (xdrs->x_base) {
        unsigned char *p = (unsigned char *)xdrs->x_base + xdrs->x_pos;
        p[0] = (unsigned char)(value >> 24);
        p[1] = (unsigned char)(value >> 16);
        p[2] = (unsigned char)(value >> 8);
        p[3] = (unsigned char)value;
    }
    xdrs->x_pos += 4;
    return TRUE;
}

static bool_t getWord(XDR *xdrs, uint32_t *value)
{
    if (!xdrs->x_base || !room(xdrs, 4))
        return FALSE;
    const unsigned char *p = (const unsigned char *)xdrs->x_base + xdrs->x_pos;
    *value = (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
    xdrs->x_pos += 4;
    return TRUE;
}

/* One word each way; XDR_FREE has nothing to do. */
static bool_t word(XDR *xdrs, uint32_t *value)
{
    switch (xdrs->x_op) {
    case XDR_ENCODE:
        return putWord(xdrs, *value);
    case XDR_DECODE:
        return getWord(xdrs, value);
    case XDR_FREE:
        return TRUE;
    }
    return FALSE;
}

/* An item of any width, travelling in 32 bits and checked against the width's range both ways
   (a 64-bit long never loses its upper half silently). */
static bool_t signedItem(XDR *xdrs, long long *value, long long low, long long high)
{
    uint32_t w = 0;
    if (xdrs->x_op == XDR_ENCODE) {
        if (*value < low || *value > high)
            return FALSE;
        w = (uint32_t)(int32_t)*value;
    }
    if (!word(xdrs, &w))
        return FALSE;
    if (xdrs->x_op == XDR_DECODE) {
        *value = (int32_t)w;
        return *value >= low && *value <= high;
    }
    return TRUE;
}

static bool_t unsignedItem(XDR *xdrs, unsigned long long *value, unsigned long long high)
{
    uint32_t w = 0;
    if (xdrs->x_op == XDR_ENCODE) {
        if (*value > high)
            return FALSE;
        w = (uint32_t)*value;
    }
    if (!word(xdrs, &w))
        return FALSE;
    if (xdrs->x_op == XDR_DECODE) {
        *value = w;
        return *value <= high;
    }
    return TRUE;
}

#define SIGNED_FILTER(name, type, low, high)                                                  \
    bool_t name(XDR *xdrs, type *p)                                                            \
    {                                                                                          \
        long long v = *p;                                                                      \
        if (!signedItem(xdrs, &v, low, high))                                                  \
            return FALSE;                                                                      \
        if (xdrs->x_op == XDR_DECODE)                                                          \
            *p = (type)v;                                                                      \
        return TRUE;                                                                           \
    }
#define UNSIGNED_FILTER(name, type, high)                                                     \
    bool_t name(XDR *xdrs, type *p)                                                            \
    {                                                                                          \
        unsigned long long v = *p;                                                             \
        if (!unsignedItem(xdrs, &v, high))                                                     \
            return FALSE;                                                                      \
        if (xdrs->x_op == XDR_DECODE)                                                          \
            *p = (type)v;                                                                      \
        return TRUE;                                                                           \
    }

SIGNED_FILTER(xdr_int, int, INT32_MIN, INT32_MAX)
SIGNED_FILTER(xdr_long, long, INT32_MIN, INT32_MAX)
SIGNED_FILTER(xdr_short, short, SHRT_MIN, SHRT_MAX)
SIGNED_FILTER(xdr_char, char, CHAR_MIN, CHAR_MAX)
SIGNED_FILTER(xdr_enum, enum_t, INT32_MIN, INT32_MAX)
UNSIGNED_FILTER(xdr_u_int, u_int, UINT32_MAX)
UNSIGNED_FILTER(xdr_u_long, u_long, UINT32_MAX)
UNSIGNED_FILTER(xdr_u_short, u_short, USHRT_MAX)
UNSIGNED_FILTER(xdr_u_char, u_char, UCHAR_MAX)

bool_t xdr_void(void)
{
    return TRUE;
}

bool_t xdr_bool(XDR *xdrs, bool_t *bp)
{
    uint32_t w = (xdrs->x_op == XDR_ENCODE && *bp) ? 1 : 0;
    if (!word(xdrs, &w))
        return FALSE;
    if (xdrs->x_op == XDR_DECODE) {
        if (w > 1)
            return FALSE;
        *bp = (bool_t)w;
    }
    return TRUE;
}

bool_t xdr_opaque(XDR *xdrs, caddr_t cp, u_int cnt)
{
    if (xdrs->x_op == XDR_FREE)
        return TRUE;
    const u_int padded = RNDUP(cnt);
    if (padded < cnt || !room(xdrs, padded))
        return FALSE;
    if (xdrs->x_op == XDR_DECODE) {
        if (!xdrs->x_base)
            return FALSE;
        if (cnt > 0)
            memcpy(cp, xdrs->x_base + xdrs->x_pos, cnt);
    } else if (xdrs->x_base) {
        /* Empty data may come without a buffer at all. */
        if (cnt > 0)
            memcpy(xdrs->x_base + xdrs->x_pos, cp, cnt);
        memset(xdrs->x_base + xdrs->x_pos + cnt, 0, padded - cnt);
    }
    xdrs->x_pos += padded;
    return TRUE;
}

/* Counted bytes. Decoding into a NULL pointer allocates the announced size, after it has been
   checked against maxsize and against what the stream still holds. */
bool_t xdr_bytes(XDR *xdrs, char **cpp, u_int *sizep, u_int maxsize)
{
    if (xdrs->x_op == XDR_FREE) {
        free(*cpp);
        *cpp = NULL;
        return TRUE;
    }
    if (!xdr_u_int(xdrs, sizep) || *sizep > maxsize)
        return FALSE;
    const u_int size = *sizep;
    if (xdrs->x_op == XDR_DECODE) {
        if (RNDUP(size) < size || !room(xdrs, RNDUP(size)))
            return FALSE;
        if (size == 0)
            return TRUE;
        if (!*cpp && !(*cpp = (char *)malloc(size)))
            return FALSE;
    }
    return xdr_opaque(xdrs, *cpp, size);
}

bool_t xdr_string(XDR *xdrs, char **cpp, u_int maxsize)
{
    if (xdrs->x_op == XDR_FREE) {
        free(*cpp);
        *cpp = NULL;
        return TRUE;
    }
    u_int size = 0;
    if (xdrs->x_op == XDR_ENCODE) {
        if (!*cpp)
            return FALSE;
        const size_t length = strlen(*cpp);
        if (length > maxsize || length > UINT32_MAX)
            return FALSE;
        size = (u_int)length;
    }
    if (!xdr_u_int(xdrs, &size) || size > maxsize)
        return FALSE;
    if (xdrs->x_op == XDR_DECODE) {
        if (size == UINT32_MAX || RNDUP(size) < size || !room(xdrs, RNDUP(size)))
            return FALSE;
        const int allocated = *cpp == NULL;
        if (allocated && !(*cpp = (char *)malloc(size + 1u)))
            return FALSE;
        if (!xdr_opaque(xdrs, *cpp, size)) {
            if (allocated) {
                free(*cpp);
                *cpp = NULL;
            }
            return FALSE;
        }
        (*cpp)[size] = '\0';
        return TRUE;
    }
    return xdr_opaque(xdrs, *cpp, size);
}

bool_t xdr_wrapstring(XDR *xdrs, char **cpp)
{
    return xdr_string(xdrs, cpp, UINT32_MAX - 1);
}

unsigned long xdr_sizeof(xdrproc_t proc, void *data)
{
    XDR counter;
    xdrmem_create(&counter, NULL, UINT_MAX, XDR_ENCODE);
    return proc(&counter, data) ? (unsigned long)counter.x_pos : 0;
}

void xdr_free(xdrproc_t proc, char *objp)
{
    XDR freer;
    xdrmem_create(&freer, NULL, 0, XDR_FREE);
    proc(&freer, objp);
}

/* An authenticator: encoded as given, decoded by checking its length and skipping its body. */
static bool_t opaqueAuth(XDR *xdrs, struct opaque_auth *auth)
{
    if (!xdr_enum(xdrs, &auth->oa_flavor) || !xdr_u_int(xdrs, &auth->oa_length) ||
        auth->oa_length > MAX_AUTH_BYTES)
        return FALSE;
    if (xdrs->x_op == XDR_DECODE) {
        auth->oa_base = NULL;
        return room(xdrs, RNDUP(auth->oa_length)) && xdr_setpos(xdrs, xdrs->x_pos + RNDUP(auth->oa_length));
    }
    return auth->oa_length == 0 || xdr_opaque(xdrs, auth->oa_base, auth->oa_length);
}

static bool_t enumOf(XDR *xdrs, int *value)
{
    enum_t e = (enum_t)*value;
    if (!xdr_enum(xdrs, &e))
        return FALSE;
    *value = (int)e;
    return TRUE;
}

bool_t xdr_callmsg(XDR *xdrs, struct rpc_msg *msg)
{
    int direction = (int)msg->rm_direction;
    if (!xdr_u_int(xdrs, &msg->rm_xid) || !enumOf(xdrs, &direction) || direction != CALL)
        return FALSE;
    msg->rm_direction = CALL;
    struct call_body *call = &msg->rm_call;
    return xdr_u_int(xdrs, &call->cb_rpcvers) && xdr_u_int(xdrs, &call->cb_prog) &&
           xdr_u_int(xdrs, &call->cb_vers) && xdr_u_int(xdrs, &call->cb_proc) &&
           opaqueAuth(xdrs, &call->cb_cred) && opaqueAuth(xdrs, &call->cb_verf);
}

bool_t xdr_replymsg(XDR *xdrs, struct rpc_msg *msg)
{
    int direction = (int)msg->rm_direction;
    int stat = (int)msg->rm_reply.rp_stat;
    if (!xdr_u_int(xdrs, &msg->rm_xid) || !enumOf(xdrs, &direction) || direction != REPLY ||
        !enumOf(xdrs, &stat))
        return FALSE;
    msg->rm_direction = REPLY;
    if (stat == MSG_ACCEPTED) {
        msg->rm_reply.rp_stat = MSG_ACCEPTED;
        struct accepted_reply *accepted = &msg->acpted_rply;
        int acceptStat = (int)accepted->ar_stat;
        if (!opaqueAuth(xdrs, &accepted->ar_verf) || !enumOf(xdrs, &acceptStat) ||
            acceptStat < SUCCESS || acceptStat > SYSTEM_ERR)
            return FALSE;
        accepted->ar_stat = (enum accept_stat)acceptStat;
        if (accepted->ar_stat == SUCCESS)
            return !accepted->ar_results.proc ||
                   accepted->ar_results.proc(xdrs, accepted->ar_results.where);
        if (accepted->ar_stat == PROG_MISMATCH)
            return xdr_u_int(xdrs, &accepted->ar_vers.low) &&
                   xdr_u_int(xdrs, &accepted->ar_vers.high);
        return TRUE;
    }
    if (stat != MSG_DENIED)
        return FALSE;
    msg->rm_reply.rp_stat = MSG_DENIED;
    struct rejected_reply *rejected = &msg->rjcted_rply;
    int rejectStat = (int)rejected->rj_stat;
    if (!enumOf(xdrs, &rejectStat) || (rejectStat != RPC_MISMATCH && rejectStat != AUTH_ERROR))
        return FALSE;
    rejected->rj_stat = (enum reject_stat)rejectStat;
    if (rejected->rj_stat == RPC_MISMATCH)
        return xdr_u_int(xdrs, &rejected->rj_vers.low) && xdr_u_int(xdrs, &rejected->rj_vers.high);
    return xdr_enum(xdrs, &rejected->rj_why);
}

bool_t xdr_pmap(XDR *xdrs, struct pmap *regs)
{
    return xdr_u_long(xdrs, &regs->pm_prog) && xdr_u_long(xdrs, &regs->pm_vers) &&
           xdr_u_long(xdrs, &regs->pm_prot) && xdr_u_long(xdrs, &regs->pm_port);
}

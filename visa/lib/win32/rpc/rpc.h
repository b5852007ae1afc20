/*
 * The part of ONC RPC and XDR (RFC 4506, RFC 5531) that our VISA library needs, for Windows,
 * where no RPC library comes with the system: the types of the messages it builds and reads,
 * the memory stream, and the primitive filters that the VXI-11 routines generated from
 * vxi11.x call. Names and layouts follow the usual Unix interface, so the same sources and
 * the same generated code build on both systems.
 */
#ifndef VDVISA_WIN32_RPC_H
#define VDVISA_WIN32_RPC_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
// Winsock without the rest of the Windows API's macros (min, max, interface).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t bool_t;
typedef int32_t enum_t;
typedef char *caddr_t;
typedef unsigned int u_int;
typedef unsigned long u_long;
typedef unsigned short u_short;
typedef unsigned char u_char;
typedef uint32_t u_int32_t;
typedef int32_t int32;
typedef uint32_t rpcprog_t;
typedef uint32_t rpcvers_t;
typedef uint32_t rpcproc_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

enum xdr_op { XDR_ENCODE = 0, XDR_DECODE = 1, XDR_FREE = 2 };

#define BYTES_PER_XDR_UNIT 4
#define RNDUP(x) ((((x) + BYTES_PER_XDR_UNIT - 1) / BYTES_PER_XDR_UNIT) * BYTES_PER_XDR_UNIT)

/* A stream over memory. With no memory (base NULL) encoding only counts: xdr_sizeof. */
typedef struct XDR
{
    enum xdr_op x_op;
    char *x_base;
    u_int x_size;
    u_int x_pos;
} XDR;

typedef bool_t (*xdrproc_t)(XDR *, ...);

void xdrmem_create(XDR *xdrs, char *addr, u_int size, enum xdr_op op);
u_int xdr_getpos(const XDR *xdrs);
bool_t xdr_setpos(XDR *xdrs, u_int pos);
/* size bytes of the stream in place (a multiple of four), or NULL past its end. */
int32_t *xdr_inline(XDR *xdrs, u_int size);
#define XDR_INLINE(xdrs, len) xdr_inline((xdrs), (u_int)(len))
#define xdr_destroy(xdrs) ((void)(xdrs))
unsigned long xdr_sizeof(xdrproc_t proc, void *data);
void xdr_free(xdrproc_t proc, char *objp);

bool_t xdr_void(void);
bool_t xdr_int(XDR *xdrs, int *ip);
bool_t xdr_u_int(XDR *xdrs, u_int *up);
bool_t xdr_long(XDR *xdrs, long *lp);
bool_t xdr_u_long(XDR *xdrs, u_long *ulp);
bool_t xdr_short(XDR *xdrs, short *sp);
bool_t xdr_u_short(XDR *xdrs, u_short *usp);
bool_t xdr_char(XDR *xdrs, char *cp);
bool_t xdr_u_char(XDR *xdrs, u_char *cp);
bool_t xdr_bool(XDR *xdrs, bool_t *bp);
bool_t xdr_enum(XDR *xdrs, enum_t *ep);
bool_t xdr_opaque(XDR *xdrs, caddr_t cp, u_int cnt);
bool_t xdr_bytes(XDR *xdrs, char **cpp, u_int *sizep, u_int maxsize);
bool_t xdr_string(XDR *xdrs, char **cpp, u_int maxsize);
/* A string of any length, for xdr_free and other one-argument uses. */
bool_t xdr_wrapstring(XDR *xdrs, char **cpp);

/* Messages. */
#define RPC_MSG_VERSION ((u_int32_t)2)
#define MAX_AUTH_BYTES 400

enum msg_type { CALL = 0, REPLY = 1 };
enum reply_stat { MSG_ACCEPTED = 0, MSG_DENIED = 1 };
enum accept_stat {
    SUCCESS = 0,
    PROG_UNAVAIL = 1,
    PROG_MISMATCH = 2,
    PROC_UNAVAIL = 3,
    GARBAGE_ARGS = 4,
    SYSTEM_ERR = 5
};
enum reject_stat { RPC_MISMATCH = 0, AUTH_ERROR = 1 };

enum clnt_stat {
    RPC_SUCCESS = 0,
    RPC_CANTENCODEARGS = 1,
    RPC_CANTDECODERES = 2,
    RPC_CANTSEND = 3,
    RPC_CANTRECV = 4,
    RPC_TIMEDOUT = 5,
    RPC_VERSMISMATCH = 6,
    RPC_AUTHERROR = 7,
    RPC_PROGUNAVAIL = 8,
    RPC_PROGVERSMISMATCH = 9,
    RPC_PROCUNAVAIL = 10,
    RPC_CANTDECODEARGS = 11,
    RPC_SYSTEMERROR = 12
};

#define AUTH_NONE 0
#define AUTH_NULL 0

struct opaque_auth
{
    enum_t oa_flavor;
    caddr_t oa_base;
    u_int oa_length;
};
/* The null credential and verifier. The verifier of a reply is checked for its length and
   skipped, never stored: callers only compare flavours. */
extern const struct opaque_auth _null_auth;

struct accepted_reply
{
    struct opaque_auth ar_verf;
    enum accept_stat ar_stat;
    union {
        struct
        {
            rpcvers_t low;
            rpcvers_t high;
        } AR_versions;
        struct
        {
            caddr_t where;
            xdrproc_t proc;
        } AR_results;
    } ru;
};
#define ar_results ru.AR_results
#define ar_vers ru.AR_versions

struct rejected_reply
{
    enum reject_stat rj_stat;
    union {
        struct
        {
            rpcvers_t low;
            rpcvers_t high;
        } RJ_versions;
        enum_t RJ_why;
    } ru;
};
#define rj_vers ru.RJ_versions
#define rj_why ru.RJ_why

struct reply_body
{
    enum reply_stat rp_stat;
    union {
        struct accepted_reply RP_ar;
        struct rejected_reply RP_dr;
    } ru;
};
#define rp_acpt ru.RP_ar
#define rp_rjct ru.RP_dr

struct call_body
{
    rpcvers_t cb_rpcvers;
    rpcprog_t cb_prog;
    rpcvers_t cb_vers;
    rpcproc_t cb_proc;
    struct opaque_auth cb_cred;
    struct opaque_auth cb_verf;
};

struct rpc_msg
{
    u_int32_t rm_xid;
    enum msg_type rm_direction;
    union {
        struct call_body RM_cmb;
        struct reply_body RM_rmb;
    } ru;
};
#define rm_call ru.RM_cmb
#define rm_reply ru.RM_rmb
#define acpted_rply ru.RM_rmb.ru.RP_ar
#define rjcted_rply ru.RM_rmb.ru.RP_dr

/* A call: encodes the header, then nothing (the arguments follow with their own filter). */
bool_t xdr_callmsg(XDR *xdrs, struct rpc_msg *msg);
/* A reply: decodes the header and, when accepted with success, the results through
   msg->acpted_rply.ar_results. */
bool_t xdr_replymsg(XDR *xdrs, struct rpc_msg *msg);

/* Client and server handles appear only in the declarations rpcgen writes; this library
   makes its calls over its own sockets. */
typedef struct CLIENT CLIENT;
typedef struct SVCXPRT SVCXPRT;
struct svc_req;

#ifdef __cplusplus
}
#endif

#endif

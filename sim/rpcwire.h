#pragma once

#include <rpc/rpc.h>

#include <QByteArray>

// ONC RPC on the server side: TCP record marking, call headers and accepted replies, with
// the XDR routines of libtirpc doing the encoding.
namespace RpcWire {

// xdr_void as an xdrproc_t (its declaration takes no arguments).
inline xdrproc_t voidProc()
{
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(&xdr_void));
}

// Reads whole records (all fragments) from a stream socket, buffering what arrives so that
// a small call costs one system call. next() is false on end of stream, a broken connection
// (shutdown() on the socket ends a blocked read) or a record over maxRecordSize (fragment
// marks included, so that empty fragments count).
class RecordReader
{
public:
    explicit RecordReader(int socket) : fd(socket) {}
    bool next(QByteArray &record);

private:
    int fd;
    QByteArray buffered;   // received, not yet taken into a record
    QByteArray assembling; // fragments of the record being assembled
    quint64 assembledWire = 0;
};

// Largest record a simulated instrument accepts (a whole firmware image fits easily).
constexpr u_int32_t maxRecordSize = 64u << 20;

// A reply as it goes out: the encoded reply, then (for results that end with opaque data,
// whose length word ends `encoded`) the data sent from where they lie, padded as XDR wants.
// `data` holds the memory the data are in.
struct Reply
{
    QByteArray encoded;
    QByteArray data;
    int dataFrom = 0;
    int dataSize = 0;
};
// Sends one record as a single last fragment, with one system call where the socket takes it.
bool writeRecord(int fd, const Reply &reply);
bool writeRecord(int fd, const QByteArray &body);

struct Call
{
    u_int32_t xid = 0;
    rpcprog_t program = 0;
    rpcvers_t version = 0;
    rpcproc_t procedure = 0;
};

// Decodes a call header and leaves xdr positioned at the arguments. The caller destroys xdr.
bool decodeCall(const QByteArray &message, XDR &xdr, Call &call);

// An accepted reply: SUCCESS with results, or one of PROG_UNAVAIL, PROC_UNAVAIL,
// GARBAGE_ARGS, PROG_MISMATCH (lowest and highest version supported).
QByteArray acceptedReply(u_int32_t xid, xdrproc_t encodeResult, const void *result);
QByteArray errorReply(u_int32_t xid, accept_stat status, rpcvers_t low = 0, rpcvers_t high = 0);

} // namespace RpcWire

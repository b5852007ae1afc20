#pragma once

#include <rpc/rpc.h>

#include <string>

namespace vdvisa {

// The transaction id a reply record starts with; false if the record is too short.
bool replyXid(const std::string &record, u_int32_t &xid);

// Decodes an ONC RPC reply record (RFC 5531): the header, then the results with decodeResult.
// Nothing is allocated from lengths the peer announces (the verifier goes into a buffer of its
// maximum size); results that carry variable-length data use a decoder that checks them
// against the record first, such as xdrReadReply.
clnt_stat decodeReply(const std::string &record, xdrproc_t decodeResult, void *result);

// A device_read reply whose data is copied out of the record only after its announced length
// has been found to fit in what the record holds.
struct ReadReply
{
    long error = 0;
    long reason = 0;
    std::string data;
};
bool_t xdrReadReply(XDR *xdrs, ReadReply *reply);

} // namespace vdvisa

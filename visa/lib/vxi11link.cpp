#include "vxi11link.h"

#include "hostlookup.h"
#include "netsocket.h"

#include <rpc/pmap_prot.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace vdvisa {

namespace {
// VXI-11 flags and error codes.
constexpr long flagEnd = 0x08;
constexpr long flagTermCharSet = 0x80;
constexpr long errorInvalidLink = 4;
constexpr long errorLocked = 11;
constexpr long errorTimeout = 15;

// A device that gives up at the deadline needs a moment for its answer to travel back.
constexpr long long replyGraceMs = 100;

// A client id that identifies this process's links on the device.
long clientId()
{
    return net::processId() & 0x7fffffff;
}

Deadline replyDeadline(const Deadline &deadline)
{
    return deadline.extendedBy(replyGraceMs);
}

// VXI-11 time-outs are unsigned 32-bit milliseconds: what is left of the operation.
unsigned long deviceTimeout(const Deadline &deadline)
{
    return (unsigned long)std::clamp(deadline.remainingMs(), 0LL, 0xffffffffLL);
}
} // namespace

bool Vxi11Link::corePort(const PeerAddress &host, const Deadline &deadline, unsigned short &port)
{
    PeerAddress mapper = host;
    mapper.setPort(PMAPPORT);
    RpcSocket socket;
    if (!socket.connect(mapper, PMAPPROG, PMAPVERS, deadline))
        return false;
    pmap query{};
    query.pm_prog = DEVICE_CORE;
    query.pm_vers = DEVICE_CORE_VERSION;
    query.pm_prot = IPPROTO_TCP;
    u_long answer = 0;
    clnt_stat status = socket.call(PMAPPROC_GETPORT, xdrproc_t(xdr_pmap), &query,
                                   xdrproc_t(xdr_u_long), &answer, deadline);
    if (status != RPC_SUCCESS || answer == 0 || answer > 0xffff)
        return false;
    port = (unsigned short)answer;
    return true;
}

ViStatus Vxi11Link::open(const std::string &host, const std::string &device,
                         const Deadline &deadline)
{
    PeerAddress peer;
    switch (lookUpHost(host, deadline, peer)) {
    case LookupResult::Found:
        break;
    case LookupResult::NotFound:
        return VI_ERROR_RSRC_NFOUND;
    case LookupResult::TimedOut:
        return VI_ERROR_TMO;
    }
    address = peer.text();

    unsigned short port = 0;
    if (!corePort(peer, deadline, port))
        return deadline.expired() ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
    peer.setPort(port);
    if (!core.connect(peer, DEVICE_CORE, DEVICE_CORE_VERSION, deadline))
        return deadline.expired() ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;

    Create_LinkParms parms{};
    parms.clientId = clientId();
    parms.lockDevice = 0;
    parms.lock_timeout = 0;
    parms.device = const_cast<char *>(device.c_str());
    Create_LinkResp response{};
    clnt_stat status = core.call(create_link, xdrproc_t(xdr_Create_LinkParms), &parms,
                                 xdrproc_t(xdr_Create_LinkResp), &response, deadline);
    if (status != RPC_SUCCESS) {
        core.close();
        return status == RPC_TIMEDOUT ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
    }
    if (response.error != 0) {
        core.close();
        return response.error == errorLocked ? VI_ERROR_RSRC_LOCKED : VI_ERROR_RSRC_NFOUND;
    }
    linkId = response.lid;
    linked = true;
    if (response.maxRecvSize > 0)
        maxRecvSize = response.maxRecvSize;
    return VI_SUCCESS;
}

ViStatus Vxi11Link::fromRpc(clnt_stat status)
{
    switch (status) {
    case RPC_SUCCESS:
        return VI_SUCCESS;
    case RPC_TIMEDOUT:
        return VI_ERROR_TMO;
    case RPC_CANTSEND:
    case RPC_CANTRECV:
    case RPC_CANTDECODERES:
        // The stream is out of step or gone: later calls must not read stale replies.
        broken = true;
        return VI_ERROR_CONN_LOST;
    default:
        return VI_ERROR_IO;
    }
}

ViStatus Vxi11Link::fromDeviceError(long error)
{
    switch (error) {
    case 0:
        return VI_SUCCESS;
    case errorTimeout:
        return VI_ERROR_TMO;
    case errorLocked:
        return VI_ERROR_RSRC_LOCKED;
    case errorInvalidLink:
        return VI_ERROR_CONN_LOST;
    default:
        return VI_ERROR_IO;
    }
}

void Vxi11Link::fillWrite(Device_WriteParms &parms, const unsigned char *data, size_t size,
                          bool last, const Deadline &deadline) const
{
    parms = Device_WriteParms{};
    parms.lid = linkId;
    parms.io_timeout = deviceTimeout(deadline);
    parms.lock_timeout = 0;
    parms.flags = last ? flagEnd : 0;
    parms.data.data_len = u_int(size);
    parms.data.data_val = reinterpret_cast<char *>(const_cast<unsigned char *>(data));
}

void Vxi11Link::fillRead(Device_ReadParms &parms, size_t requestSize, const Deadline &deadline,
                         bool termCharEnabled, char termChar) const
{
    parms = Device_ReadParms{};
    parms.lid = linkId;
    parms.requestSize = (unsigned long)std::min<size_t>(requestSize, 0x7fffffff);
    parms.io_timeout = deviceTimeout(deadline);
    parms.lock_timeout = 0;
    parms.flags = termCharEnabled ? flagTermCharSet : 0;
    parms.termChar = termChar;
}

ViStatus Vxi11Link::takeRead(ViStatus status, const ReadReply &response, size_t requestSize,
                             size_t &received, int &reason)
{
    received = 0;
    reason = 0;
    if (status != VI_SUCCESS)
        return status;
    // More than we asked for is not an answer to our read: nothing of it is passed on.
    if (response.length > std::min<size_t>(requestSize, 0x7fffffff))
        return VI_ERROR_IO;
    received = response.length;
    reason = int(response.reason);
    return fromDeviceError(response.error);
}

ViStatus Vxi11Link::receiveRead(u_int32_t xid, size_t requestSize, const Deadline &replyBy,
                                char *into, size_t &received, int &reason)
{
    ReadReply response;
    const ViStatus status = fromRpc(
        core.receiveRead(xid, response, into, std::min<size_t>(requestSize, 0x7fffffff), replyBy));
    return takeRead(status, response, requestSize, received, reason);
}

ViStatus Vxi11Link::write(const unsigned char *data, size_t size, bool end,
                          const Deadline &deadline, size_t &written)
{
    written = 0;
    if (!linked || broken)
        return VI_ERROR_CONN_LOST;
    do {
        // A device that takes a few bytes per call gets no more calls than the time-out allows.
        if (written > 0 && deadline.expired())
            return VI_ERROR_TMO;
        size_t chunk = std::min<size_t>(size - written, maxRecvSize);
        bool last = written + chunk == size;
        Device_WriteParms parms;
        fillWrite(parms, data + written, chunk, last && end, deadline);
        Device_WriteResp response{};
        ViStatus status =
            fromRpc(core.call(device_write, xdrproc_t(xdr_Device_WriteParms), &parms,
                              xdrproc_t(xdr_Device_WriteResp), &response,
                              replyDeadline(deadline)));
        if (status != VI_SUCCESS)
            return status;
        if (response.error != 0)
            return fromDeviceError(response.error);
        if (response.size == 0 && chunk > 0)
            return VI_ERROR_IO;
        written += std::min<size_t>(response.size, chunk);
    } while (written < size);
    return VI_SUCCESS;
}

ViStatus Vxi11Link::read(size_t requestSize, const Deadline &deadline, bool termCharEnabled,
                         char termChar, char *into, size_t &received, int &reason)
{
    received = 0;
    reason = 0;
    if (!linked || broken)
        return VI_ERROR_CONN_LOST;
    const Deadline replyBy = replyDeadline(deadline);
    Device_ReadParms parms;
    fillRead(parms, requestSize, deadline, termCharEnabled, termChar);
    u_int32_t xid = 0;
    const ViStatus status =
        fromRpc(core.send(device_read, xdrproc_t(xdr_Device_ReadParms), &parms, replyBy, xid));
    return status != VI_SUCCESS ? status
                                : receiveRead(xid, requestSize, replyBy, into, received, reason);
}

ViStatus Vxi11Link::writeThenRead(const unsigned char *data, size_t size, bool end,
                                  size_t requestSize, const Deadline &deadline,
                                  bool termCharEnabled, char termChar, char *into, size_t &received,
                                  int &reason)
{
    received = 0;
    reason = 0;
    if (!linked || broken)
        return VI_ERROR_CONN_LOST;
    if (size > maxRecvSize || size == 0 || !end) {
        size_t written = 0;
        ViStatus status = write(data, size, end, deadline, written);
        return status != VI_SUCCESS
                   ? status
                   : read(requestSize, deadline, termCharEnabled, termChar, into, received, reason);
    }
    const Deadline replyBy = replyDeadline(deadline);
    Device_WriteParms writeParms;
    fillWrite(writeParms, data, size, true, deadline);
    Device_ReadParms readParms;
    fillRead(readParms, requestSize, deadline, termCharEnabled, termChar);
    u_int32_t writeXid = 0, readXid = 0;
    ViStatus status = fromRpc(core.send(device_write, xdrproc_t(xdr_Device_WriteParms), &writeParms,
                                        replyBy, writeXid, true));
    if (status != VI_SUCCESS)
        return status;
    status = fromRpc(
        core.send(device_read, xdrproc_t(xdr_Device_ReadParms), &readParms, replyBy, readXid));
    if (status != VI_SUCCESS)
        return status;
    Device_WriteResp written{};
    ViStatus writeStatus =
        fromRpc(core.receive(writeXid, xdrproc_t(xdr_Device_WriteResp), &written, replyBy));
    if (writeStatus == VI_SUCCESS && written.error != 0)
        writeStatus = fromDeviceError(written.error);
    else if (writeStatus == VI_SUCCESS && written.size != size)
        writeStatus = VI_ERROR_IO;
    const ViStatus readStatus = receiveRead(readXid, requestSize, replyBy, into, received, reason);
    if (writeStatus != VI_SUCCESS) {
        received = 0;
        return writeStatus;
    }
    return readStatus;
}

ViStatus Vxi11Link::clear(const Deadline &deadline)
{
    if (!linked || broken)
        return VI_ERROR_CONN_LOST;
    Device_GenericParms parms{};
    parms.lid = linkId;
    parms.flags = 0;
    parms.lock_timeout = 0;
    parms.io_timeout = deviceTimeout(deadline);
    Device_Error response{};
    ViStatus status =
        fromRpc(core.call(device_clear, xdrproc_t(xdr_Device_GenericParms), &parms,
                          xdrproc_t(xdr_Device_Error), &response, replyDeadline(deadline)));
    return status != VI_SUCCESS ? status : fromDeviceError(response.error);
}

void Vxi11Link::close()
{
    if (linked && !broken) {
        // Best effort: a device that has gone away must not hold up closing the session.
        Device_Error response{};
        long lid = linkId;
        core.call(destroy_link, xdrproc_t(xdr_Device_Link), &lid, xdrproc_t(xdr_Device_Error),
                  &response, Deadline(500));
    }
    linked = false;
    core.close();
}

} // namespace vdvisa

#include "vxi11link.h"

#include "deadline.h"

#include <arpa/inet.h>
#include <rpc/pmap_prot.h>
#include <unistd.h>

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

// A client id that identifies this process's links on the device.
long clientId()
{
    return long(::getpid() & 0x7fffffff);
}

// The device may hold a call for its own io_timeout; give the answer a moment to travel.
long long rpcTimeout(long long ioTimeoutMs)
{
    return ioTimeoutMs + 250;
}

// VXI-11 time-outs are unsigned 32-bit milliseconds.
unsigned long deviceTimeout(long long ms)
{
    return (unsigned long)std::clamp(ms, 0LL, 0xffffffffLL);
}
} // namespace

bool Vxi11Link::corePort(const sockaddr_in &host, long long timeoutMs, unsigned short &port)
{
    sockaddr_in mapper = host;
    mapper.sin_port = htons(PMAPPORT);
    Deadline deadline(timeoutMs);
    RpcSocket socket;
    if (!socket.connect(mapper, PMAPPROG, PMAPVERS, deadline.remainingMs()))
        return false;
    pmap query{};
    query.pm_prog = DEVICE_CORE;
    query.pm_vers = DEVICE_CORE_VERSION;
    query.pm_prot = IPPROTO_TCP;
    u_long answer = 0;
    clnt_stat status =
        socket.call(PMAPPROC_GETPORT, xdrproc_t(xdr_pmap), &query, xdrproc_t(xdr_u_long), &answer,
                    std::max(1LL, deadline.remainingMs()));
    if (status != RPC_SUCCESS || answer == 0 || answer > 0xffff)
        return false;
    port = (unsigned short)answer;
    return true;
}

ViStatus Vxi11Link::open(const std::string &host, const std::string &device, long long timeoutMs)
{
    Deadline deadline(timeoutMs);
    sockaddr_in peer{};
    if (!RpcSocket::resolve(host, 0, peer))
        return VI_ERROR_RSRC_NFOUND;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    address = text;

    unsigned short port = 0;
    if (!corePort(peer, deadline.remainingMs(), port))
        return deadline.expired() ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
    peer.sin_port = htons(port);
    if (!core.connect(peer, DEVICE_CORE, DEVICE_CORE_VERSION, deadline.remainingMs()))
        return deadline.expired() ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;

    Create_LinkParms parms{};
    parms.clientId = clientId();
    parms.lockDevice = 0;
    parms.lock_timeout = 0;
    parms.device = const_cast<char *>(device.c_str());
    Create_LinkResp response{};
    clnt_stat status =
        core.call(create_link, xdrproc_t(xdr_Create_LinkParms), &parms,
                  xdrproc_t(xdr_Create_LinkResp), &response, std::max(1LL, deadline.remainingMs()));
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
                          bool last, long long ioTimeoutMs) const
{
    parms = Device_WriteParms{};
    parms.lid = linkId;
    parms.io_timeout = deviceTimeout(ioTimeoutMs);
    parms.lock_timeout = 0;
    parms.flags = last ? flagEnd : 0;
    parms.data.data_len = u_int(size);
    parms.data.data_val = reinterpret_cast<char *>(const_cast<unsigned char *>(data));
}

void Vxi11Link::fillRead(Device_ReadParms &parms, size_t requestSize, long long ioTimeoutMs,
                         bool termCharEnabled, char termChar) const
{
    parms = Device_ReadParms{};
    parms.lid = linkId;
    parms.requestSize = (unsigned long)std::min<size_t>(requestSize, 0x7fffffff);
    parms.io_timeout = deviceTimeout(ioTimeoutMs);
    parms.lock_timeout = 0;
    parms.flags = termCharEnabled ? flagTermCharSet : 0;
    parms.termChar = termChar;
}

ViStatus Vxi11Link::takeRead(ViStatus status, Device_ReadResp &response, size_t requestSize,
                             std::string &data, int &reason)
{
    data.clear();
    reason = 0;
    if (status == VI_SUCCESS) {
        if (response.data.data_val && response.data.data_len > 0)
            data.assign(response.data.data_val,
                        std::min<size_t>(response.data.data_len, requestSize));
        reason = int(response.reason);
        status = fromDeviceError(response.error);
    }
    xdr_free(xdrproc_t(xdr_Device_ReadResp), reinterpret_cast<char *>(&response));
    return status;
}

ViStatus Vxi11Link::write(const unsigned char *data, size_t size, bool end, long long ioTimeoutMs,
                          size_t &written)
{
    written = 0;
    if (!linked || broken)
        return VI_ERROR_CONN_LOST;
    do {
        size_t chunk = std::min<size_t>(size - written, maxRecvSize);
        bool last = written + chunk == size;
        Device_WriteParms parms;
        fillWrite(parms, data + written, chunk, last && end, ioTimeoutMs);
        Device_WriteResp response{};
        ViStatus status =
            fromRpc(core.call(device_write, xdrproc_t(xdr_Device_WriteParms), &parms,
                              xdrproc_t(xdr_Device_WriteResp), &response, rpcTimeout(ioTimeoutMs)));
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

ViStatus Vxi11Link::read(size_t requestSize, long long ioTimeoutMs, bool termCharEnabled,
                         char termChar, std::string &data, int &reason)
{
    data.clear();
    reason = 0;
    if (!linked || broken)
        return VI_ERROR_CONN_LOST;
    Device_ReadParms parms;
    fillRead(parms, requestSize, ioTimeoutMs, termCharEnabled, termChar);
    Device_ReadResp response{};
    ViStatus status =
        fromRpc(core.call(device_read, xdrproc_t(xdr_Device_ReadParms), &parms,
                          xdrproc_t(xdr_Device_ReadResp), &response, rpcTimeout(ioTimeoutMs)));
    return takeRead(status, response, requestSize, data, reason);
}

ViStatus Vxi11Link::writeThenRead(const unsigned char *data, size_t size, bool end,
                                  size_t requestSize, long long ioTimeoutMs, bool termCharEnabled,
                                  char termChar, std::string &response, int &reason)
{
    response.clear();
    reason = 0;
    if (!linked || broken)
        return VI_ERROR_CONN_LOST;
    if (size > maxRecvSize || size == 0 || !end) {
        size_t written = 0;
        ViStatus status = write(data, size, end, ioTimeoutMs, written);
        return status != VI_SUCCESS
                   ? status
                   : read(requestSize, ioTimeoutMs, termCharEnabled, termChar, response, reason);
    }
    const long long timeout = rpcTimeout(ioTimeoutMs);
    Device_WriteParms writeParms;
    fillWrite(writeParms, data, size, true, ioTimeoutMs);
    Device_ReadParms readParms;
    fillRead(readParms, requestSize, ioTimeoutMs, termCharEnabled, termChar);
    u_int32_t writeXid = 0, readXid = 0;
    ViStatus status = fromRpc(
        core.send(device_write, xdrproc_t(xdr_Device_WriteParms), &writeParms, timeout, writeXid));
    if (status != VI_SUCCESS)
        return status;
    status = fromRpc(
        core.send(device_read, xdrproc_t(xdr_Device_ReadParms), &readParms, timeout, readXid));
    if (status != VI_SUCCESS)
        return status;
    Device_WriteResp written{};
    ViStatus writeStatus =
        fromRpc(core.receive(writeXid, xdrproc_t(xdr_Device_WriteResp), &written, timeout));
    if (writeStatus == VI_SUCCESS && written.error != 0)
        writeStatus = fromDeviceError(written.error);
    else if (writeStatus == VI_SUCCESS && written.size != size)
        writeStatus = VI_ERROR_IO;
    Device_ReadResp read{};
    ViStatus readStatus =
        fromRpc(core.receive(readXid, xdrproc_t(xdr_Device_ReadResp), &read, timeout));
    readStatus = takeRead(readStatus, read, requestSize, response, reason);
    if (writeStatus != VI_SUCCESS) {
        response.clear();
        return writeStatus;
    }
    return readStatus;
}

ViStatus Vxi11Link::clear(long long ioTimeoutMs)
{
    if (!linked || broken)
        return VI_ERROR_CONN_LOST;
    Device_GenericParms parms{};
    parms.lid = linkId;
    parms.flags = 0;
    parms.lock_timeout = 0;
    parms.io_timeout = deviceTimeout(ioTimeoutMs);
    Device_Error response{};
    ViStatus status =
        fromRpc(core.call(device_clear, xdrproc_t(xdr_Device_GenericParms), &parms,
                          xdrproc_t(xdr_Device_Error), &response, rpcTimeout(ioTimeoutMs)));
    return status != VI_SUCCESS ? status : fromDeviceError(response.error);
}

void Vxi11Link::close()
{
    if (linked && !broken) {
        // Best effort: a device that has gone away must not hold up closing the session.
        Device_Error response{};
        long lid = linkId;
        core.call(destroy_link, xdrproc_t(xdr_Device_Link), &lid, xdrproc_t(xdr_Device_Error),
                  &response, 500);
    }
    linked = false;
    core.close();
}

} // namespace vdvisa

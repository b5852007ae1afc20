#pragma once

#include "deadline.h"
#include "rpcreply.h"
#include "rpcsocket.h"
#include "visa.h"
#include "vxi11.h"

#include <atomic>
#include <string>

namespace vdvisa {

// One VXI-11 core-channel link to a device: portmapper look-up, connection, create_link,
// and the device_write / device_read / device_clear calls that VISA operations map onto.
class Vxi11Link
{
public:
    enum Reason
    {
        RequestCount = 1,
        TermChar = 2,
        End = 4
    };

    // Every call below ends by its operation's deadline: the device is given what is left of
    // it as its io_timeout, and its answer a short grace to travel back.
    ViStatus open(const std::string &host, const std::string &device, const Deadline &deadline);
    // Sends one chunked message; END goes with the last byte when end is set.
    ViStatus write(const unsigned char *data, size_t size, bool end, const Deadline &deadline,
                   size_t &written);
    // One device_read of up to requestSize bytes, which land in `into` (room for requestSize
    // bytes) straight from the socket; reason tells why the device stopped. A reply with more
    // data than asked for is a protocol error, and none of it is passed on.
    ViStatus read(size_t requestSize, const Deadline &deadline, bool termCharEnabled, char termChar,
                  char *into, size_t &received, int &reason);
    ViStatus clear(const Deadline &deadline);
    // A query: the message and the first read of its response go out back to back, so a
    // query costs one network round trip instead of two. A message longer than one write
    // chunk falls back to write, then read.
    ViStatus writeThenRead(const unsigned char *data, size_t size, bool end, size_t requestSize,
                           const Deadline &deadline, bool termCharEnabled, char termChar,
                           char *into, size_t &received, int &reason);
    void interrupt() { core.interrupt(); }
    void setNoDelay(bool on) { core.setNoDelay(on); }
    void close();

    const std::string &peerAddress() const { return address; }

    // Asks the portmapper on host for the port of the VXI-11 core channel.
    static bool corePort(const PeerAddress &host, const Deadline &deadline, unsigned short &port);

private:
    void fillWrite(Device_WriteParms &parms, const unsigned char *data, size_t size, bool last,
                   const Deadline &deadline) const;
    void fillRead(Device_ReadParms &parms, size_t requestSize, const Deadline &deadline,
                  bool termCharEnabled, char termChar) const;
    static ViStatus takeRead(ViStatus status, const ReadReply &response, size_t requestSize,
                             size_t &received, int &reason);
    ViStatus receiveRead(u_int32_t xid, size_t requestSize, const Deadline &replyBy, char *into,
                         size_t &received, int &reason);
    ViStatus fromRpc(clnt_stat status);
    static ViStatus fromDeviceError(long error);

    RpcSocket core;
    long linkId = 0;
    bool linked = false;
    std::atomic<bool> broken{false};
    unsigned long maxRecvSize = 0x10000;
    std::string address;
};

} // namespace vdvisa

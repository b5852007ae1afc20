#include "instrsession.h"

#include "deadline.h"
#include "formatter.h"

#include <algorithm>
#include <cstring>

namespace vdvisa {

namespace {
// How much one device_read asks for while a response is being scanned.
constexpr size_t responseChunk = 65536;
// A time-out of "infinite" still ends some day.
long long ioTimeout(ViUInt32 ms)
{
    return ms == VI_TMO_INFINITE ? 24LL * 3600 * 1000 : (long long)ms;
}

void copyText(void *value, const std::string &text)
{
    char *out = static_cast<char *>(value);
    std::snprintf(out, VI_FIND_BUFLEN, "%s", text.c_str());
}
} // namespace

class InstrSession::ResponseSource : public MessageSource
{
public:
    explicit ResponseSource(InstrSession &session)
        : s(session), deadline(ioTimeout(session.timeoutMs))
    {
    }

    int peek() override
    {
        while (s.responsePos >= s.response.size()) {
            if (s.responseComplete || s.responseError != VI_SUCCESS)
                return -1;
            // Pieces that never end the response must not hold the scan beyond its time-out.
            if (fetched && deadline.expired()) {
                s.responseError = VI_ERROR_TMO;
                return -1;
            }
            fetched = true;
            std::string chunk;
            int reason = 0;
            s.responseError = s.link.read(responseChunk, ioTimeout(s.timeoutMs), s.termCharEnabled,
                                          char(s.termChar), chunk, reason);
            if (s.responseError != VI_SUCCESS)
                return -1;
            s.response.erase(0, s.responsePos);
            s.responsePos = 0;
            s.response += chunk;
            if (reason & (Vxi11Link::End | Vxi11Link::TermChar))
                s.responseComplete = true;
        }
        return (unsigned char)s.response[s.responsePos];
    }
    void advance() override
    {
        if (s.responsePos < s.response.size())
            ++s.responsePos;
    }
    ViStatus error() const override { return s.responseError; }

private:
    InstrSession &s;
    const Deadline deadline;
    bool fetched = false;
};

InstrSession::InstrSession(const ResourceName &resource) : name(resource) {}

ViStatus InstrSession::open(long long openTimeoutMs)
{
    std::lock_guard<std::mutex> guard(io);
    return link.open(name.host, name.device, openTimeoutMs);
}

void InstrSession::close()
{
    closed = true;
    std::unique_lock<std::mutex> guard(io, std::try_to_lock);
    if (!guard.owns_lock()) {
        // Another thread is in a call on this session: break it off rather than wait for
        // its time-out.
        link.interrupt();
        guard.lock();
    }
    link.close();
}

void InstrSession::discardResponse()
{
    response.clear();
    responsePos = 0;
    responseComplete = true;
    responseError = VI_SUCCESS;
}

ViStatus InstrSession::read(ViPBuf buffer, ViUInt32 count, ViPUInt32 returned)
{
    if (returned)
        *returned = 0;
    if (!buffer && count > 0)
        return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    ViUInt32 total = 0;
    // A device that keeps answering with pieces that end nothing must not hold the caller
    // beyond its time-out.
    const Deadline deadline(ioTimeout(timeoutMs));
    for (bool first = true;; first = false) {
        if (!first && deadline.expired())
            return VI_ERROR_TMO;
        std::string chunk;
        int reason = 0;
        ViStatus status = link.read(count - total, ioTimeout(timeoutMs), termCharEnabled,
                                    char(termChar), chunk, reason);
        if (!chunk.empty()) {
            std::memcpy(buffer + total, chunk.data(), chunk.size());
            total += ViUInt32(chunk.size());
        }
        if (returned)
            *returned = total;
        if (status != VI_SUCCESS)
            return status;
        if (reason & Vxi11Link::End)
            return VI_SUCCESS;
        if (reason & Vxi11Link::TermChar)
            return VI_SUCCESS_TERM_CHAR;
        if (total >= count)
            return VI_SUCCESS_MAX_CNT;
    }
}

ViStatus InstrSession::write(ViConstBuf buffer, ViUInt32 count, ViPUInt32 returned)
{
    if (returned)
        *returned = 0;
    if (!buffer && count > 0)
        return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    size_t written = 0;
    ViStatus status = link.write(buffer, count, sendEnd, ioTimeout(timeoutMs), written);
    if (returned)
        *returned = ViUInt32(written);
    return status;
}

ViStatus InstrSession::clear()
{
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    discardResponse();
    return link.clear(ioTimeout(timeoutMs));
}

ViStatus InstrSession::printLocked(const char *format, va_list *args)
{
    std::string message;
    ViStatus status = formatMessage(format, args, message);
    if (status != VI_SUCCESS)
        return status;
    // A new command makes any unread rest of an earlier response stale.
    discardResponse();
    size_t written = 0;
    return link.write(reinterpret_cast<const unsigned char *>(message.data()), message.size(),
                      sendEnd, ioTimeout(timeoutMs), written);
}

ViStatus InstrSession::scanLocked(const char *format, va_list *args)
{
    if (responsePos >= response.size() && responseComplete) {
        // The previous response is used up: this scan reads the next one.
        response.clear();
        responsePos = 0;
        responseComplete = false;
        responseError = VI_SUCCESS;
    }
    ResponseSource source(*this);
    ViStatus status = scanMessage(source, format, args);
    if (status != VI_SUCCESS)
        discardResponse();
    return status;
}

ViStatus InstrSession::print(const char *format, va_list *args)
{
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    return printLocked(format, args);
}

ViStatus InstrSession::scan(const char *format, va_list *args)
{
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    return scanLocked(format, args);
}

ViStatus InstrSession::query(const char *writeFormat, const char *readFormat, va_list *args)
{
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    std::string message;
    ViStatus status = formatMessage(writeFormat, args, message);
    if (status != VI_SUCCESS)
        return status;
    discardResponse();
    std::string first;
    int reason = 0;
    status = link.writeThenRead(reinterpret_cast<const unsigned char *>(message.data()),
                                message.size(), sendEnd, responseChunk, ioTimeout(timeoutMs),
                                termCharEnabled, char(termChar), first, reason);
    if (status != VI_SUCCESS)
        return status;
    // The scan starts on the response that came with the query.
    response = first;
    responsePos = 0;
    responseComplete = (reason & (Vxi11Link::End | Vxi11Link::TermChar)) != 0;
    responseError = VI_SUCCESS;
    ResponseSource source(*this);
    status = scanMessage(source, readFormat, args);
    if (status != VI_SUCCESS)
        discardResponse();
    return status;
}

ViStatus InstrSession::setAttribute(ViAttr attribute, ViAttrState value)
{
    std::lock_guard<std::mutex> guard(io);
    switch (attribute) {
    case VI_ATTR_TMO_VALUE:
        timeoutMs = ViUInt32(value);
        return VI_SUCCESS;
    case VI_ATTR_TERMCHAR:
        if (value > 0xff)
            return VI_ERROR_NSUP_ATTR_STATE;
        termChar = ViUInt8(value);
        return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN:
        termCharEnabled = value != VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_SEND_END_EN:
        sendEnd = value != VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_NODELAY:
        noDelay = value != VI_FALSE;
        link.setNoDelay(noDelay);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_KEEPALIVE:
        keepAlive = value != VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_RSRC_NAME:
    case VI_ATTR_INTF_TYPE:
    case VI_ATTR_INTF_NUM:
    case VI_ATTR_TCPIP_ADDR:
    case VI_ATTR_TCPIP_HOSTNAME:
    case VI_ATTR_TCPIP_DEVICE_NAME:
        return VI_ERROR_ATTR_READONLY;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

ViStatus InstrSession::getAttribute(ViAttr attribute, void *value)
{
    if (!value)
        return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> guard(io);
    switch (attribute) {
    case VI_ATTR_TMO_VALUE:
        *static_cast<ViUInt32 *>(value) = timeoutMs;
        return VI_SUCCESS;
    case VI_ATTR_TERMCHAR:
        *static_cast<ViUInt8 *>(value) = termChar;
        return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN:
        *static_cast<ViBoolean *>(value) = termCharEnabled ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_SEND_END_EN:
        *static_cast<ViBoolean *>(value) = sendEnd ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_NODELAY:
        *static_cast<ViBoolean *>(value) = noDelay ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_KEEPALIVE:
        *static_cast<ViBoolean *>(value) = keepAlive ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
    case VI_ATTR_INTF_TYPE:
        *static_cast<ViUInt16 *>(value) = VI_INTF_TCPIP;
        return VI_SUCCESS;
    case VI_ATTR_INTF_NUM:
        *static_cast<ViUInt16 *>(value) = ViUInt16(name.board);
        return VI_SUCCESS;
    case VI_ATTR_RSRC_NAME:
        copyText(value, name.canonical());
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_ADDR:
        copyText(value, link.peerAddress());
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_HOSTNAME:
        copyText(value, name.host);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_DEVICE_NAME:
        copyText(value, name.device);
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

} // namespace vdvisa

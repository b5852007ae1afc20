#include "instrsession.h"

#include <algorithm>
#include <cstring>

namespace vdvisa {

namespace {
// How much one device_read asks for while a response is being scanned.
constexpr size_t responseChunk = 65536;

void copyText(void *value, const std::string &text)
{
    char *out = static_cast<char *>(value);
    std::snprintf(out, VI_FIND_BUFLEN, "%s", text.c_str());
}
} // namespace

// The response message being scanned, fetched piece by piece under the deadline of the
// operation that scans it.
class InstrSession::ResponseSource : public MessageSource
{
public:
    ResponseSource(InstrSession &session, const Deadline &operationDeadline)
        : s(session), deadline(operationDeadline)
    {
    }

    int peek() override
    {
        while (s.responsePos >= s.responseSize) {
            if (s.responseComplete || s.responseError != VI_SUCCESS)
                return -1;
            // Pieces that never end the response must not hold the scan beyond its time-out.
            if (fetched && deadline.expired()) {
                s.responseError = VI_ERROR_TMO;
                return -1;
            }
            fetched = true;
            // The piece before is used up: the next one takes its place.
            s.responsePos = s.responseSize = 0;
            int reason = 0;
            s.responseError =
                s.link.read(responseChunk, deadline, s.termCharEnabled, char(s.termChar),
                            s.responseBuffer(), s.responseSize, reason);
            if (s.responseError != VI_SUCCESS) {
                s.responseSize = 0;
                return -1;
            }
            if (reason & (Vxi11Link::End | Vxi11Link::TermChar))
                s.responseComplete = true;
        }
        return (unsigned char)s.response[s.responsePos];
    }
    void advance() override
    {
        if (s.responsePos < s.responseSize)
            ++s.responsePos;
    }
    ViStatus error() const override { return s.responseError; }

private:
    InstrSession &s;
    const Deadline &deadline;
    bool fetched = false;
};

InstrSession::InstrSession(const ResourceName &resource) : name(resource) {}

long long InstrSession::ioTimeout() const
{
    // A time-out of "infinite" still ends some day.
    return timeoutMs == VI_TMO_INFINITE ? 24LL * 3600 * 1000 : (long long)timeoutMs;
}

ViStatus InstrSession::open(long long openTimeoutMs)
{
    std::lock_guard<std::mutex> guard(io);
    return link.open(name.host, name.device, Deadline(openTimeoutMs));
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

char *InstrSession::responseBuffer()
{
    if (!response)
        response.reset(new char[responseChunk]);
    return response.get();
}

void InstrSession::discardResponse()
{
    responseSize = 0;
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
    const Deadline deadline(ioTimeout());
    for (bool first = true;; first = false) {
        if (!first && deadline.expired())
            return VI_ERROR_TMO;
        size_t received = 0;
        int reason = 0;
        ViStatus status = link.read(count - total, deadline, termCharEnabled, char(termChar),
                                    reinterpret_cast<char *>(buffer) + total, received, reason);
        total += ViUInt32(received);
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
    ViStatus status = link.write(buffer, count, sendEnd, Deadline(ioTimeout()), written);
    if (returned)
        *returned = ViUInt32(written);
    return status;
}

ViStatus InstrSession::clear()
{
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    // A device clear also empties both formatted I/O buffers.
    discardResponse();
    writeBuffer.clear();
    return link.clear(Deadline(ioTimeout()));
}

ViStatus InstrSession::flush(ViUInt16 mask)
{
    const ViUInt16 known = VI_READ_BUF | VI_WRITE_BUF | VI_READ_BUF_DISCARD | VI_WRITE_BUF_DISCARD;
    if (mask == 0 || (mask & ~known) || ((mask & VI_WRITE_BUF) && (mask & VI_WRITE_BUF_DISCARD)) ||
        ((mask & VI_READ_BUF) && (mask & VI_READ_BUF_DISCARD)))
        return VI_ERROR_INV_PARAMETER;
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    const Deadline deadline(ioTimeout());
    ViStatus status = VI_SUCCESS;
    if (mask & VI_WRITE_BUF_DISCARD)
        writeBuffer.clear();
    if ((mask & VI_WRITE_BUF) && !writeBuffer.empty())
        status = sendBuffered(writeBuffer, sendEnd, deadline);
    if (mask & VI_READ_BUF_DISCARD)
        discardResponse();
    if ((mask & VI_READ_BUF) && status == VI_SUCCESS) {
        // Reads the rest of a response already begun up to its END, so that the next scan
        // starts on a response of its own.
        if (responsePos < responseSize || !responseComplete) {
            ResponseSource source(*this, deadline);
            while (source.peek() >= 0)
                source.advance();
            status = source.error();
        }
        discardResponse();
    }
    return status;
}

ViStatus InstrSession::sendBuffered(std::string &message, bool end, const Deadline &deadline)
{
    size_t written = 0;
    ViStatus status = link.write(reinterpret_cast<const unsigned char *>(message.data()),
                                 message.size(), end, deadline, written);
    message.clear();
    return status;
}

// The formatted write buffer follows the VISA formatted I/O rules of VPP-4.3 (The VISA
// Library, the viPrintf/viQueryf operations and VI_ATTR_WR_BUF_OPER_MODE): the buffer is
// sent, with END, at each "\n" of the format string itself (a line feed that comes from an
// argument, as in viPrintf(vi, "%s", "*RST\n"), ends nothing); it is sent without END when
// it is full; viFlush(VI_WRITE_BUF) sends it with END; viQueryf sends it with END once its
// write format is done, before reading; with VI_FLUSH_ON_ACCESS every viPrintf ends by
// sending it with END. viScanf and the raw viRead/viWrite leave it alone; viClear discards it.
// lastMessage receives what is left to send with END, for a caller that sends it itself.
ViStatus InstrSession::buffer(const FormattedText &formatted, const Deadline &deadline,
                              std::string &lastMessage)
{
    size_t from = 0;
    for (size_t end : formatted.messageEnds) {
        writeBuffer.append(formatted.text, from, end - from);
        from = end;
        ViStatus status = sendBuffered(writeBuffer, sendEnd, deadline);
        if (status != VI_SUCCESS)
            return status;
    }
    writeBuffer.append(formatted.text, from, std::string::npos);
    while (writeBuffer.size() > writeBufferSize) {
        std::string full = writeBuffer.substr(0, writeBufferSize);
        writeBuffer.erase(0, writeBufferSize);
        ViStatus status = sendBuffered(full, false, deadline);
        if (status != VI_SUCCESS) {
            writeBuffer.clear();
            return status;
        }
    }
    lastMessage.swap(writeBuffer);
    writeBuffer.clear();
    return VI_SUCCESS;
}

ViStatus InstrSession::scanLocked(const char *format, ScanArguments &args,
                                  const Deadline &deadline)
{
    if (responsePos >= responseSize && responseComplete) {
        // The previous response is used up: this scan reads the next one.
        responseSize = 0;
        responsePos = 0;
        responseComplete = false;
        responseError = VI_SUCCESS;
    }
    ResponseSource source(*this, deadline);
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
    VaListArguments arguments(args);
    FormattedText formatted;
    ViStatus status = formatMessage(format, arguments, formatted);
    if (status != VI_SUCCESS)
        return status;
    // A new command makes any unread rest of an earlier response stale.
    discardResponse();
    const Deadline deadline(ioTimeout());
    std::string rest;
    status = buffer(formatted, deadline, rest);
    if (status != VI_SUCCESS)
        return status;
    if (flushOnAccess && !rest.empty())
        return sendBuffered(rest, sendEnd, deadline);
    writeBuffer.swap(rest);
    return VI_SUCCESS;
}

ViStatus InstrSession::scan(const char *format, va_list *args)
{
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    VaListArguments arguments(args);
    return scanLocked(format, arguments, Deadline(ioTimeout()));
}

ViStatus InstrSession::query(const char *writeFormat, const char *readFormat, va_list *args)
{
    std::lock_guard<std::mutex> guard(io);
    if (closed)
        return VI_ERROR_INV_OBJECT;
    // Both formats are checked before anything is sent or any argument taken.
    ViStatus status = checkScanFormat(readFormat);
    if (status != VI_SUCCESS)
        return status;
    VaListArguments arguments(args);
    FormattedText formatted;
    status = formatMessage(writeFormat, arguments, formatted);
    if (status != VI_SUCCESS)
        return status;
    discardResponse();
    const Deadline deadline(ioTimeout());
    // What the buffer held and the write format produced, cut at the format's line feeds;
    // the last message goes with END together with the first read of the response.
    std::string stream = writeBuffer + formatted.text;
    std::vector<size_t> ends;
    for (size_t end : formatted.messageEnds)
        ends.push_back(writeBuffer.size() + end);
    writeBuffer.clear();
    if (!stream.empty() && (ends.empty() || ends.back() != stream.size()))
        ends.push_back(stream.size());
    size_t from = 0;
    for (size_t i = 0; i + 1 < ends.size(); ++i) {
        std::string message = stream.substr(from, ends[i] - from);
        from = ends[i];
        status = sendBuffered(message, sendEnd, deadline);
        if (status != VI_SUCCESS)
            return status;
    }
    // The scan starts on the response that comes with the query.
    const char *last = stream.data() + from;
    const size_t lastSize = stream.size() - from;
    int reason = 0;
    status = lastSize == 0
                 ? link.read(responseChunk, deadline, termCharEnabled, char(termChar),
                             responseBuffer(), responseSize, reason)
                 : link.writeThenRead(reinterpret_cast<const unsigned char *>(last), lastSize,
                                      sendEnd, responseChunk, deadline, termCharEnabled,
                                      char(termChar), responseBuffer(), responseSize, reason);
    if (status != VI_SUCCESS) {
        discardResponse();
        return status;
    }
    responsePos = 0;
    responseComplete = (reason & (Vxi11Link::End | Vxi11Link::TermChar)) != 0;
    responseError = VI_SUCCESS;
    ResponseSource source(*this, deadline);
    status = scanMessage(source, readFormat, arguments);
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
    case VI_ATTR_WR_BUF_OPER_MODE:
        if (value != VI_FLUSH_ON_ACCESS && value != VI_FLUSH_WHEN_FULL)
            return VI_ERROR_NSUP_ATTR_STATE;
        flushOnAccess = value == VI_FLUSH_ON_ACCESS;
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
    case VI_ATTR_WR_BUF_OPER_MODE:
        *static_cast<ViUInt16 *>(value) = flushOnAccess ? VI_FLUSH_ON_ACCESS : VI_FLUSH_WHEN_FULL;
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

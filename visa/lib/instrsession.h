#pragma once

#include "deadline.h"
#include "formatter.h"
#include "resourcename.h"
#include "scanner.h"
#include "visaobject.h"
#include "vxi11link.h"

#include <atomic>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>

namespace vdvisa {

// A session to one TCPIP INSTR resource: its VXI-11 link, its attributes, the formatted write
// buffer and the buffer of the response message being scanned. One operation runs at a time,
// under one deadline (VI_ATTR_TMO_VALUE from its start) however many calls it takes; closing
// from another thread interrupts a call in progress instead of waiting for its time-out.
class InstrSession : public VisaObject
{
public:
    explicit InstrSession(const ResourceName &name);

    ViStatus open(long long timeoutMs);
    void close() override;

    ViStatus read(ViPBuf buffer, ViUInt32 count, ViPUInt32 returned);
    ViStatus write(ViConstBuf buffer, ViUInt32 count, ViPUInt32 returned);
    ViStatus clear();
    ViStatus flush(ViUInt16 mask);
    ViStatus print(const char *format, va_list *args);
    ViStatus scan(const char *format, va_list *args);
    ViStatus query(const char *writeFormat, const char *readFormat, va_list *args);

    // The size of the formatted write buffer (what viPrintf produced and has not sent yet):
    // when it fills, its contents go out without END.
    static constexpr size_t writeBufferSize = 4096;

    ViStatus setAttribute(ViAttr attribute, ViAttrState value) override;
    ViStatus getAttribute(ViAttr attribute, void *value) override;

private:
    class ResponseSource;
    ViStatus buffer(const FormattedText &formatted, const Deadline &deadline,
                    std::string &lastMessage);
    ViStatus sendBuffered(std::string &message, bool end, const Deadline &deadline);
    ViStatus scanLocked(const char *format, ScanArguments &args, const Deadline &deadline);
    void discardResponse();
    char *responseBuffer();
    long long ioTimeout() const;

    std::mutex io;
    std::atomic<bool> closed{false};
    ResourceName name;
    Vxi11Link link;

    ViUInt32 timeoutMs = 2000;
    ViUInt8 termChar = '\n';
    bool termCharEnabled = false;
    bool sendEnd = true;
    bool noDelay = true;
    bool keepAlive = false;
    bool flushOnAccess = false;

    std::string writeBuffer;

    // The piece of the response message being scanned ([responsePos, responseSize) of one
    // buffer that lives as long as the session) and whether its end has been received.
    std::unique_ptr<char[]> response;
    size_t responseSize = 0;
    size_t responsePos = 0;
    bool responseComplete = true;
    ViStatus responseError = VI_SUCCESS;
};

} // namespace vdvisa

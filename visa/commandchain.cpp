#include "commandchain.h"

#include "iorecorder.h"
#include "modulesession.h"

#include <QString>

#include <cstdarg>

CommandChain::CommandChain(ViSession session, FailureRule rule) : vi(session), failureRule(rule) {}

CommandChain::CommandChain(ModuleSession &session, FailureRule rule)
    : vi(session.vi()), owner(&session), failureRule(rule)
{
    session.clearFailure();
}

bool CommandChain::fails(ViStatus status, FailureRule rule)
{
    return rule == FailureRule::Panel ? status != VI_SUCCESS : status < VI_SUCCESS;
}

void CommandChain::boundedFormat(char conversion, std::size_t size, char (&format)[24])
{
    std::snprintf(format, sizeof format, "%%%zu%c", size > 1 ? size - 1 : 1, conversion);
}

void CommandChain::record(ViStatus status, const char *format)
{
    lastStatus = status;
    if (fails(status, failureRule)) {
        failed = true;
        failedFormat = format;
        if (owner)
            owner->noteFailure(format, status);
    }
}

CommandChain &CommandChain::command(const char *format, ...)
{
    if (failed)
        return *this;
    va_list args;
    va_start(args, format);
    IoCall call(vi);
    if (call.active()) {
        va_list text;
        va_copy(text, args);
        // Formats numbers the C way, as the VISA formatter does, whatever the locale.
        call.sent = QString::vasprintf(format, text).toLatin1();
        va_end(text);
    }
    ViStatus status = viVPrintf(vi, format, args);
    call.finish(status);
    va_end(args);
    record(status, format);
    return *this;
}

CommandChain &CommandChain::query(const char *writeFormat, const char *readFormat, ...)
{
    if (failed)
        return *this;
    va_list args;
    va_start(args, readFormat);
    // The library walks args; the recorder walks its own copy afterwards.
    va_list outputs;
    va_copy(outputs, args);
    IoCall call(vi);
    ViStatus status = viVQueryf(vi, writeFormat, readFormat, args);
    if (call.active()) {
        call.sent = writeFormat;
        call.received = "";
        // The module's queries carry no arguments; where one does, its values come first in
        // the arguments and the reply's variables cannot be told from them.
        if (status >= VI_SUCCESS && !std::strchr(writeFormat, '%'))
            call.received = IoRecorder::valuesRead(readFormat, outputs);
        call.finish(status);
    }
    va_end(outputs);
    va_end(args);
    record(status, writeFormat);
    return *this;
}

CommandChain &CommandChain::queryText(const char *writeFormat, char conversion, char *buffer,
                                      std::size_t size)
{
    if (failed)
        return *this;
    std::memset(buffer, 0, size);
    char format[24];
    boundedFormat(conversion, size, format);
    IoCall call(vi);
    const ViStatus status = viQueryf(vi, writeFormat, format, buffer);
    buffer[size - 1] = '\0';
    if (call.active()) {
        call.sent = writeFormat;
        call.received = status >= VI_SUCCESS ? QByteArray(buffer) : QByteArray("");
        call.finish(status);
    }
    record(status, writeFormat);
    return *this;
}

CommandChain &CommandChain::scanText(char conversion, char *buffer, std::size_t size)
{
    if (failed)
        return *this;
    std::memset(buffer, 0, size);
    char format[24];
    boundedFormat(conversion, size, format);
    IoCall call(vi);
    const ViStatus status = viScanf(vi, format, buffer);
    buffer[size - 1] = '\0';
    if (call.active()) {
        call.received = status >= VI_SUCCESS ? QByteArray(buffer) : QByteArray("");
        call.finish(status);
    }
    record(status, "viScanf");
    return *this;
}

#include "commandchain.h"

#include "modulesession.h"

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
    ViStatus status = viVPrintf(vi, format, args);
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
    ViStatus status = viVQueryf(vi, writeFormat, readFormat, args);
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
    record(viQueryf(vi, writeFormat, format, buffer), writeFormat);
    buffer[size - 1] = '\0';
    return *this;
}

CommandChain &CommandChain::scanText(char conversion, char *buffer, std::size_t size)
{
    if (failed)
        return *this;
    std::memset(buffer, 0, size);
    char format[24];
    boundedFormat(conversion, size, format);
    record(viScanf(vi, format, buffer), "viScanf");
    buffer[size - 1] = '\0';
    return *this;
}

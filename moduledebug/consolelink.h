#pragma once

#include "consoleexchange.h"

class ModuleSession;

// The command console's calls on the module's session, made on the module's thread: the line
// as typed with a line feed, the reply of a query read whole, and the error queue after a
// command when asked. Every call is recorded for the I/O monitor, marked as the console's.
class ConsoleLink
{
public:
    // More than any reply of the module; a longer one is cut here and the rest left unread.
    static constexpr int replyLimit = 16 * 1024 * 1024;

    static ConsoleExchange exchange(ModuleSession &session, const QByteArray &line,
                                    bool readErrorQueue);

private:
    static ViStatus send(ViSession vi, const QByteArray &text, bool query, QByteArray &reply,
                         bool &cut);
    // Reads until the message ends: a definite-length block is read by its length, so that a
    // data byte equal to the line feed does not end it.
    static ViStatus readReply(ViSession vi, QByteArray &reply, bool &cut);
};

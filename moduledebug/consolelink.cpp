#include "consolelink.h"

#include "iorecorder.h"
#include "modulesession.h"
#include "termcharscope.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>

ConsoleExchange ConsoleLink::exchange(ModuleSession &session, const QByteArray &line,
                                      bool readErrorQueue)
{
    ConsoleExchange done;
    done.msecsSinceEpoch = QDateTime::currentMSecsSinceEpoch();
    done.sent = line + '\n';
    done.query = ConsoleExchange::isQuery(line);
    const ViSession vi = session.vi();
    if (vi == VI_NULL) {
        done.sessionOpen = false;
        done.status = VI_ERROR_INV_OBJECT;
        return done;
    }
    const auto started = std::chrono::steady_clock::now();
    done.status = send(vi, done.sent, done.query, done.reply, done.replyCut);
    done.durationUs = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
    if (done.status < VI_SUCCESS) {
        session.noteFailure(done.query ? "console query" : "console command", done.status);
        return done;
    }
    if (readErrorQueue && !done.query) {
        bool cut = false;
        done.errorQueueRead = true;
        done.errorStatus = send(vi, "*ERR?\n", true, done.errorReply, cut);
        if (done.errorStatus < VI_SUCCESS)
            session.noteFailure("console *ERR?", done.errorStatus);
    }
    return done;
}

ViStatus ConsoleLink::send(ViSession vi, const QByteArray &text, bool query, QByteArray &reply,
                           bool &cut)
{
    IoCall call(vi);
    call.fromConsole = true;
    call.sent = text;
    ViUInt32 written = 0;
    ViStatus status = viWrite(vi, reinterpret_cast<ViConstBuf>(text.constData()),
                              ViUInt32(text.size()), &written);
    if (query) {
        if (status >= VI_SUCCESS)
            status = readReply(vi, reply, cut);
        // A block is recorded by its header and length, as every block is.
        int headerSize = 0;
        qint64 dataBytes = 0;
        if (ConsoleExchange::blockHeader(reply, headerSize, dataBytes)) {
            call.received = reply.left(headerSize);
            call.blockBytes = dataBytes;
        } else {
            call.received = reply.isNull() ? QByteArray("") : reply;
        }
    }
    call.finish(status);
    return status;
}

ViStatus ConsoleLink::readReply(ViSession vi, QByteArray &reply, bool &cut)
{
    constexpr qint64 piece = 4096;
    char buffer[piece];
    for (;;) {
        const qint64 remainder = ConsoleExchange::blockRemainder(reply);
        ViUInt32 count = 0;
        ViStatus status;
        if (remainder > 0) {
            const TermCharScope binary(vi);
            status = viRead(vi, reinterpret_cast<ViBuf>(buffer),
                            ViUInt32(std::min(remainder, piece)), &count);
        } else {
            status = viRead(vi, reinterpret_cast<ViBuf>(buffer), ViUInt32(piece), &count);
        }
        reply.append(buffer, int(count));
        if (status < VI_SUCCESS)
            return status;
        // The message ends with END, or with the line feed after a complete block or line.
        if (status == VI_SUCCESS ||
            (status == VI_SUCCESS_TERM_CHAR && ConsoleExchange::blockRemainder(reply) <= 0))
            return status;
        if (reply.size() >= replyLimit) {
            cut = true;
            return status;
        }
    }
}

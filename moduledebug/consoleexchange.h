#pragma once

#include <visa.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// One line typed in the command console and what came of it: the line as sent, the reply of a
// query (a definite-length block whole), the VISA status, the time it took, and the error
// queue read after a command when the operator asked for it.
struct ConsoleExchange
{
    Q_DECLARE_TR_FUNCTIONS(ConsoleExchange)

public:
    // A query has a "?" in the header of one of its message units ("*IDN?", "VOLT?;CURR?",
    // "OUTP 1;OUTP?", "VOLT? MAX") or ends in one; a "?" inside a quoted string does not count.
    static bool isQuery(const QByteArray &line);
    // The header of the definite-length block that reply starts with: its size ("#3120" is 5)
    // and the count of data bytes it announces. False when reply does not start with a
    // complete, well-formed header ("#0", the indefinite form, is not one).
    static bool blockHeader(const QByteArray &reply, int &headerSize, qint64 &dataBytes);
    // How many bytes of the block that reply starts with are still to come: 0 when it is
    // complete or not a block, -1 while its header is not complete yet.
    static qint64 blockRemainder(const QByteArray &reply);

    bool isBlock() const;
    // The block's data, without its header and what followed it.
    QByteArray blockData() const;
    // The module's link is gone: no later call can succeed on this session.
    bool linkLost() const;
    // The exchange as the console shows it, one line for what was sent and answered, one
    // for the status and duration, one for the error queue when it was read.
    QString text() const;

    qint64 msecsSinceEpoch = 0;
    QByteArray sent; // with its line feed
    bool query = false;
    QByteArray reply;
    bool replyCut = false; // longer than the console takes; the rest was not read
    ViStatus status = VI_SUCCESS;
    qint64 durationUs = 0;
    bool sessionOpen = true;

    bool errorQueueRead = false;
    QByteArray errorReply;
    ViStatus errorStatus = VI_SUCCESS;
};

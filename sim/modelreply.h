#pragma once

#include <QByteArray>

// What one program message made the module answer.
struct ModelReply
{
    QByteArray data; // the complete response message; empty: the message produced no response
    int delayMs = 0; // program-time ms before the response becomes readable (e.g. *TST?)
};

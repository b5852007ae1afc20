#pragma once

#include "modelreply.h"

#include <QByteArray>

class Rvka5630State;

// The module's command set as a table of SCPI headers and the handlers behind them. Headers
// match in their short or long form, in any letter case ("OUTP:PROT:CLE" and
// "outPut:protection:clear" are the same command). Each unit of a compound message is handled
// in turn; a unit that fails queues its error and the rest of the message still runs, except
// after a command that restarts the module.
class Rvka5630CommandTable
{
public:
    static ModelReply run(Rvka5630State &module, const QByteArray &message);
};

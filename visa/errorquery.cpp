#include "errorquery.h"

#include "commandchain.h"

ViStatus ErrorQuery::query(ViSession session, char (&reply)[256])
{
    return CommandChain(session, FailureRule::Flash).queryLine("*ERR?\n", reply).status();
}

#pragma once

#include <visa.h>

// The instrument's error queue: "*ERR?\n" read with "%t". Only the first character of the
// reply is judged: "0" (as in 0,No error) means no error, anything else is an error.
class ErrorQuery
{
public:
    static bool isNoError(const char *reply) { return reply && reply[0] == '0'; }
    // Sends the query into a zero-filled 256-byte buffer; returns the query's status.
    static ViStatus query(ViSession session, char (&reply)[256]);
};

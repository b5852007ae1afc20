// Program messages as a client sends them to the simulated module.
#include "scpiparser.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray message(reinterpret_cast<const char *>(data), int(size));
    for (const ScpiCommand &command : ScpiParser::parse(message)) {
        for (const QByteArray &parameter : command.parameters()) {
            double number = 0;
            qint64 integer = 0;
            bool flag = false;
            ScpiParser::toNumber(parameter, &number);
            ScpiParser::toInteger(parameter, &integer);
            ScpiParser::toBoolean(parameter, &flag);
        }
    }
    return 0;
}

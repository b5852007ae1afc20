// vdvisa-query: a small command-line client of our VISA library, for checking an instrument
// or the resource search by hand.
//
//   vdvisa-query --find [EXPRESSION]        list the resources found (default TCPIP?*INSTR)
//   vdvisa-query RESOURCE MESSAGE...        send each message; print the reply of those that
//                                           end in "?"
#include <visa.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vdvisa-query --find [EXPRESSION] | RESOURCE MESSAGE...\n");
        return 2;
    }
    ViSession rm = VI_NULL;
    ViStatus status = viOpenDefaultRM(&rm);
    char text[VI_FIND_BUFLEN] = {};
    if (status != VI_SUCCESS) {
        std::fprintf(stderr, "viOpenDefaultRM failed\n");
        return 1;
    }
    if (std::strcmp(argv[1], "--find") == 0) {
        ViFindList list = VI_NULL;
        ViUInt32 count = 0;
        status = viFindRsrc(rm, argc > 2 ? argv[2] : "TCPIP?*INSTR", &list, &count, text);
        for (ViUInt32 i = 0; status == VI_SUCCESS && i < count; ++i) {
            std::printf("%s\n", text);
            status = viFindNext(list, text);
        }
        viClose(rm);
        return count > 0 ? 0 : 1;
    }
    ViSession vi = VI_NULL;
    status = viOpen(rm, argv[1], VI_NULL, 2000, &vi);
    if (status != VI_SUCCESS) {
        viStatusDesc(rm, status, text);
        std::fprintf(stderr, "%s: %s\n", argv[1], text);
        viClose(rm);
        return 1;
    }
    int result = 0;
    for (int i = 2; i < argc && result == 0; ++i) {
        // The line feed is the format's own, so each argument goes out as a message with END.
        const std::string message = argv[i];
        char reply[65536] = {};
        status = !message.empty() && message.back() == '?'
                     ? viQueryf(vi, "%s\n", "%65535t", message.c_str(), reply)
                     : viPrintf(vi, "%s\n", message.c_str());
        if (status < VI_SUCCESS) {
            viStatusDesc(vi, status, text);
            std::fprintf(stderr, "%s: %s\n", argv[i], text);
            result = 1;
        } else if (reply[0]) {
            std::fputs(reply, stdout);
        }
    }
    viClose(rm);
    return result;
}

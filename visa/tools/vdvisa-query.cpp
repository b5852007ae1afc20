// vdvisa-query: a small command-line client of our VISA library, for checking an instrument
// or the resource search by hand.
//
//   vdvisa-query --find [EXPRESSION]        list the resources found (default TCPIP?*INSTR)
//   vdvisa-query RESOURCE MESSAGE...        send each message; print the reply of those that
//                                           end in "?"
//
// Its texts are in the operator's language, chosen as voltaDesk chooses: VOLTADESK_LANG ("ru"
// or "en"), else the locale; the build makes the manual page from the English --help.
#include "terminallanguage.h"

#include <visa.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Texts
{
    const char *help;
    const char *nothingFound;
};

const Texts russian = {
    "Использование: vdvisa-query --find [ВЫРАЖЕНИЕ]\n"
    "  или: vdvisa-query РЕСУРС СООБЩЕНИЕ...\n"
    "Простой клиент библиотеки VISA voltaDesk: проверка прибора или поиска ресурсов вручную.\n"
    "\n"
    "  --find [ВЫРАЖЕНИЕ]   перечислить найденные ресурсы (по умолчанию TCPIP?*INSTR)\n"
    "  РЕСУРС СООБЩЕНИЕ...  отправить каждое сообщение; ответы на сообщения, оканчивающиеся\n"
    "                       на \"?\", вывести\n"
    "  -h, --help           показать эту справку и выйти\n"
    "  -v, --version        показать версию и выйти\n"
    "\n"
    "Окружение:\n"
    "  VDVISA_RESOURCES     ресурсы (строки VISA или адреса) через \";\"; иначе файл\n"
    "                       ~/.config/vdvisa/resources, по одному в строке\n"
    "  VDVISA_BROADCAST     0 отключает широковещательный поиск VXI-11\n"
    "  VDVISA_BROADCAST_MS  сколько ждать ответов на широковещательный запрос, мс\n"
    "  VOLTADESK_LANG       \"ru\" или \"en\": язык сообщений\n"
    "\n"
    "Код завершения: 0 - выполнено, 1 - ничего не найдено или прибор не ответил, 2 - неверные\n"
    "параметры.\n",
    "vdvisa-query: ресурсы \"%s\" не найдены. Модули ищутся широковещательным запросом\n"
    "VXI-11 (VDVISA_BROADCAST=0 его отключает) и среди заданных ресурсов: переменная\n"
    "VDVISA_RESOURCES (через \";\") или файл ~/.config/vdvisa/resources.\n",
};

const Texts englishTexts = {
    "Usage: vdvisa-query --find [EXPRESSION]\n"
    "  or:  vdvisa-query RESOURCE MESSAGE...\n"
    "A small client of voltaDesk's VISA library, for checking an instrument or the resource\n"
    "search by hand.\n"
    "\n"
    "  --find [EXPRESSION]  list the resources found (default TCPIP?*INSTR)\n"
    "  RESOURCE MESSAGE...  send each message; print the replies of those that end in \"?\"\n"
    "  -h, --help           show this help and exit\n"
    "  -v, --version        show the version and exit\n"
    "\n"
    "Environment:\n"
    "  VDVISA_RESOURCES     resources (VISA strings or addresses) separated by \";\"; else the\n"
    "                       file ~/.config/vdvisa/resources, one per line\n"
    "  VDVISA_BROADCAST     0 turns the VXI-11 broadcast search off\n"
    "  VDVISA_BROADCAST_MS  how long answers to the broadcast are awaited, in ms\n"
    "  VOLTADESK_LANG       \"ru\" or \"en\": the language of the messages\n"
    "\n"
    "Exit status: 0 done, 1 nothing found or the instrument did not answer, 2 wrong\n"
    "arguments.\n",
    "vdvisa-query: no resources match \"%s\". Modules are found by the VXI-11 broadcast\n"
    "(VDVISA_BROADCAST=0 turns it off) and among the configured resources: the variable\n"
    "VDVISA_RESOURCES (separated by \";\") or the file ~/.config/vdvisa/resources.\n",
};

} // namespace

int main(int argc, char **argv)
{
    const Texts &texts = terminalSpeaksEnglish() ? englishTexts : russian;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(texts.help, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("vdvisa-query %s\n", VOLTADESK_VERSION);
            return 0;
        }
    }
    if (argc < 2) {
        std::fputs(texts.help, stderr);
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
        const char *expression = argc > 2 ? argv[2] : "TCPIP?*INSTR";
        status = viFindRsrc(rm, expression, &list, &count, text);
        if (status != VI_SUCCESS)
            count = 0;
        for (ViUInt32 i = 0; status == VI_SUCCESS && i < count; ++i) {
            std::printf("%s\n", text);
            status = viFindNext(list, text);
        }
        viClose(rm);
        if (count == 0)
            std::fprintf(stderr, texts.nothingFound, expression);
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

// rvka5630-sim: serves simulated RVKA5630 modules over VXI-11 on the given addresses until it
// is stopped. Run it inside a private network namespace (scripts/in-netns) so that the
// portmappers can take port 111 on 127.0.0.x.
//
//   rvka5630-sim [--serial] [--bench] --address 127.0.0.2 [--idn TEXT] [--place TEXT]
//                [--silent] [--address 127.0.0.3 ...]
//
// Options after an --address apply to that module: --idn sets its "*IDN?" reply, --place its
// placement reply (PLACEID;ADDRID;SWITCHID), --silent makes it accept links but never answer.
// --serial (anywhere) also starts the bench multimeter and electronic load on pseudo-terminals,
// wired to the first module, and prints "serial-ports VALUE", the VOLTADESK_SERIAL_PORTS value
// that lets voltaDesk find them. --bench (anywhere) is for benchmarks only: the modules also
// answer "BENCH:BLOCK? <bytes>" and a raw TCP ping-pong server listens on the first module's
// address (see BenchRvka5630Device and PingPongServer). "ready" is printed on a line of its
// own once everything listens. --help and --version answer in the operator's language
// (VOLTADESK_LANG, else the locale); the build makes the manual page from the English help.
#include "pingpongserver.h"
#include "simbench.h"
#include "simserialload.h"
#include "simserialmultimeter.h"
#include "terminallanguage.h"

#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
struct ModuleOptions
{
    QString address;
    QByteArray idn = "Korvalis,RVKA5630,0042,1.3";
    QByteArray place = "1;7;0";
    bool silent = false;
};

const char *const russianHelp =
    "Использование: rvka5630-sim [--serial] --address АДРЕС [--idn ТЕКСТ] [--place ТЕКСТ]\n"
    "                    [--silent] [--address АДРЕС ...]\n"
    "Имитирует модули питания RVKA5630 по VXI-11 на заданных адресах, пока его не остановят\n"
    "(SIGINT или SIGTERM). Каждому адресу нужен свой порт 111 (portmapper): запускайте\n"
    "имитатор в отдельном сетевом пространстве имён, например\n"
    "  unshare --user --map-root-user --net sh -c 'ip link set lo up; rvka5630-sim ...'\n"
    "\n"
    "  --address АДРЕС      адрес IPv4 следующего модуля, например 127.0.0.2\n"
    "  --idn ТЕКСТ          ответ модуля на \"*IDN?\" (Korvalis,RVKA5630,0042,1.3)\n"
    "  --place ТЕКСТ        ответ о размещении PLACEID;ADDRID;SWITCHID (1;7;0)\n"
    "  --silent             модуль принимает соединения, но не отвечает\n"
    "  --serial             также мультиметр и нагрузка электронная на псевдотерминалах,\n"
    "                       подключённые к первому модулю; печатает \"serial-ports ЗНАЧЕНИЕ\"\n"
    "                       для VOLTADESK_SERIAL_PORTS\n"
    "  --bench              только для измерений производительности: блоки BENCH:BLOCK? и\n"
    "                       сервер пинг-понга TCP на адресе первого модуля\n"
    "  -h, --help           показать эту справку и выйти\n"
    "  -v, --version        показать версию и выйти\n"
    "\n"
    "Параметры после --address относятся к этому модулю. Когда всё слушает, печатается\n"
    "строка \"ready\". Новый модуль не откалиброван: поверка --vdc проходит после --autocal.\n";

const char *const englishHelp =
    "Usage: rvka5630-sim [--serial] --address ADDRESS [--idn TEXT] [--place TEXT]\n"
    "                    [--silent] [--address ADDRESS ...]\n"
    "Serves simulated RVKA5630 power modules over VXI-11 on the given addresses until it is\n"
    "stopped (SIGINT or SIGTERM). Each address needs port 111 (the portmapper) of its own: run\n"
    "the simulator in a network namespace of its own, for example\n"
    "  unshare --user --map-root-user --net sh -c 'ip link set lo up; rvka5630-sim ...'\n"
    "\n"
    "  --address ADDRESS    IPv4 address of the next module, e.g. 127.0.0.2\n"
    "  --idn TEXT           the module's reply to \"*IDN?\" (Korvalis,RVKA5630,0042,1.3)\n"
    "  --place TEXT         its placement reply PLACEID;ADDRID;SWITCHID (1;7;0)\n"
    "  --silent             the module accepts links but never answers\n"
    "  --serial             also a multimeter and an electronic load on pseudo-terminals, wired\n"
    "                       to the first module; prints \"serial-ports VALUE\" for\n"
    "                       VOLTADESK_SERIAL_PORTS\n"
    "  --bench              for benchmarks only: BENCH:BLOCK? blocks and a raw TCP ping-pong\n"
    "                       server on the first module's address\n"
    "  -h, --help           show this help and exit\n"
    "  -v, --version        show the version and exit\n"
    "\n"
    "Options after an --address apply to that module. \"ready\" is printed on a line of its\n"
    "own once everything listens. A new module is uncalibrated: --vdc passes after --autocal.\n";

int usage(const char *problem)
{
    std::fprintf(stderr,
                 "rvka5630-sim: %s\n"
                 "usage: rvka5630-sim [--serial] [--bench] --address A [--idn TEXT] [--place TEXT] "
                 "[--silent] [--address B ...]\n",
                 problem);
    return 2;
}
} // namespace

int main(int argc, char **argv)
{
    std::vector<ModuleOptions> modules;
    bool serial = false;
    bool benchExtras = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(terminalSpeaksEnglish() ? englishHelp : russianHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("rvka5630-sim %s\n", VOLTADESK_VERSION);
            return 0;
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        if (option == "--serial") {
            serial = true;
        } else if (option == "--bench") {
            benchExtras = true;
        } else if (option == "--address") {
            const char *address = value();
            if (!address)
                return usage("--address needs a value");
            modules.push_back(ModuleOptions());
            modules.back().address = QString::fromLatin1(address);
        } else if (modules.empty()) {
            return usage("options of a module follow its --address");
        } else if (option == "--idn" || option == "--place") {
            const char *text = value();
            if (!text)
                return usage("option needs a value");
            (option == "--idn" ? modules.back().idn : modules.back().place) = QByteArray(text);
        } else if (option == "--silent") {
            modules.back().silent = true;
        } else {
            return usage(("unknown option " + option).c_str());
        }
    }
    if (modules.empty())
        return usage("no --address given");

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (benchExtras) {
        // Large reads are served from freshly allocated buffers. Handing that memory back to
        // the system after every read would make the simulator's page faults, not the client,
        // what a bulk-read benchmark measures.
        mallopt(M_TRIM_THRESHOLD, 512 << 20);
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_ARENA_MAX, 1);
    }
    SimBench bench;
    bench.setBenchBlocks(benchExtras);
    for (const ModuleOptions &options : modules) {
        QString error;
        SimModule *module = bench.addRvka5630(options.address, &error, options.idn, options.place);
        if (!module) {
            std::fprintf(stderr, "rvka5630-sim: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        module->setMute(options.silent);
    }
    if (serial) {
        QString error;
        if (!bench.addSerialInstruments(modules.front().address, &error)) {
            std::fprintf(stderr, "rvka5630-sim: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        std::printf("serial-ports %s\n", bench.serialPortList().toLocal8Bit().constData());
    }
    PingPongServer pingPong;
    QString pingPongError;
    if (benchExtras && !pingPong.start(modules.front().address, &pingPongError)) {
        std::fprintf(stderr, "rvka5630-sim: %s\n", pingPongError.toLocal8Bit().constData());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    bench.stop();
    return 0;
}

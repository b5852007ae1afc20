#include "instrumentprobe.h"

#include "commandchain.h"

#include <QSemaphore>
#include <QStringList>
#include <QThreadPool>

#include <vector>

namespace {
const char *const lanInstruments = "TCPIP?*INSTR";
// An instrument that does not accept a link within this time is left out.
constexpr ViUInt32 openTimeoutMs = 1000;
// The discovery queries carry no line feed: the modules take the VXI-11 END as the end of
// the message.
const char *const identityQuery = "*IDN?";
const QString marker = QStringLiteral("%s");
// Instruments questioned at the same time. A silent instrument holds its probe for the whole
// I/O time-out; questioned side by side, a handful of them cost one time-out in all rather
// than one each, and a large LAN still never sees hundreds of links opened at once.
constexpr int probesInFlight = 16;

// What the probe learnt about one found resource.
struct Probed
{
    QByteArray descriptor;
    bool listed = false;
    modRow row;
    LeftOutResource leftOut;
};

// A probe session is closed whatever the instrument did.
class ProbeSession
{
public:
    ProbeSession(ViSession resourceManager, const char *descriptor)
    {
        status = viOpen(resourceManager, descriptor, VI_NULL, openTimeoutMs, &vi);
    }
    ~ProbeSession()
    {
        if (vi != VI_NULL)
            viClose(vi);
    }
    ProbeSession(const ProbeSession &) = delete;
    ProbeSession &operator=(const ProbeSession &) = delete;

    bool isOpen() const { return status == VI_SUCCESS; }
    ViSession session() const { return vi; }

private:
    ViSession vi = VI_NULL;
    ViStatus status = VI_SUCCESS;
};
} // namespace

QVector<modRow> InstrumentProbe::run(ViSession resourceManager,
                                     std::shared_ptr<FindListHandle> findList, QString modelFilter,
                                     QString placeQuery, QString placeFormat)
{
    return survey(resourceManager, std::move(findList), std::move(modelFilter),
                  std::move(placeQuery), std::move(placeFormat))
        .rows;
}

DiscoverySurvey InstrumentProbe::survey(ViSession resourceManager,
                                        std::shared_ptr<FindListHandle> findList,
                                        QString modelFilter, QString placeQuery,
                                        QString placeFormat)
{
    ViChar descriptor[VI_FIND_BUFLEN] = {};
    if (findList->find(resourceManager, lanInstruments, descriptor) != VI_SUCCESS)
        return {};
    const QByteArray query = placeQuery.toUtf8();
    // One entry per found resource, in discovery order; each probe fills only its own.
    std::vector<std::unique_ptr<Probed>> found;
    QSemaphore freeSlots(probesInFlight);
    QThreadPool probes;
    probes.setMaxThreadCount(probesInFlight);
    // A slot is taken before the next descriptor is asked for: once a cancel has closed the
    // list, no further instrument is questioned, even while every slot is busy.
    freeSlots.acquire();
    do {
        found.push_back(std::make_unique<Probed>());
        Probed *entry = found.back().get();
        entry->descriptor = QByteArray(descriptor);
        probes.start([=, &freeSlots, &modelFilter, &query, &placeFormat] {
            entry->listed = probe(resourceManager, entry->descriptor.constData(), modelFilter,
                                  query, placeFormat, entry->row, entry->leftOut);
            freeSlots.release();
        });
        freeSlots.acquire();
    } while (findList->next(descriptor) == VI_SUCCESS);
    // The task ends only after the last of its probe sessions has been closed.
    probes.waitForDone();
    DiscoverySurvey result;
    for (const std::unique_ptr<Probed> &entry : found) {
        if (entry->listed) {
            result.rows.append(entry->row);
        } else {
            entry->leftOut.address = QString::fromUtf8(entry->descriptor);
            result.leftOut.append(entry->leftOut);
        }
    }
    return result;
}

InstrumentProbe::Identity InstrumentProbe::identify(ViSession vi, const QString &modelFilter,
                                                    QString &idn)
{
    char identity[256];
    CommandChain query(vi);
    query.queryToken(identityQuery, identity);
    if (!query.ok())
        return Identity::NoAnswer;
    idn = QString::fromUtf8(identity);
    return idn.contains(modelFilter) ? Identity::Module : Identity::OtherModel;
}

bool InstrumentProbe::probe(ViSession resourceManager, const char *descriptor,
                            const QString &modelFilter, const QByteArray &placeQuery,
                            const QString &placeFormat, modRow &row, LeftOutResource &leftOut)
{
    leftOut.reason = LeftOutResource::NoAnswer;
    ProbeSession probeSession(resourceManager, descriptor);
    if (!probeSession.isOpen())
        return false;
    QString idn;
    const Identity identity = identify(probeSession.session(), modelFilter, idn);
    if (identity == Identity::NoAnswer)
        return false;
    if (identity == Identity::OtherModel) {
        leftOut.reason = LeftOutResource::OtherModel;
        leftOut.idn = idn;
        return false;
    }
    char placement[256];
    CommandChain place(probeSession.session());
    place.queryToken(placeQuery.constData(), placement);
    if (!place.ok())
        return false;
    row.address = QString::fromUtf8(descriptor);
    row.idn = idn;
    row.info = placementInfo(placeFormat, QString::fromUtf8(placement));
    return true;
}

QString InstrumentProbe::placementInfo(const QString &placeFormat, const QString &reply)
{
    QString info = placeFormat;
    int from = 0;
    for (const QString &part : reply.split(QLatin1Char(';'))) {
        const int at = info.indexOf(marker, from);
        if (at < 0)
            break;
        info.replace(at, marker.size(), part);
        // A part that itself reads "%s" is text, not a marker to fill.
        from = at + part.size();
    }
    return info;
}

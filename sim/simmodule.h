#pragma once

#include "simdevicemodel.h"
#include "simtranscript.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// One simulated instrument as its VXI-11 server sees it: the message interface of an
// IEEE 488.2 device (a new program message discards unread output; device clear empties
// it), the transcript of every message received and the transport faults tests inject.
class SimModule
{
public:
    // What happens to the n-th message that starts with a given command.
    enum class Fault
    {
        BreakLink,  // the connection that carried it is closed at once
        NoResponse, // the call that carried it is never answered (the client times out)
        LoseReply,  // it is executed, but its response never becomes readable
    };

    // What the server should do with the call that delivered a message.
    enum class Delivery
    {
        Answer,
        AnswerThenDropLinks,
        Ignore,
        Break
    };

    // The bytes a read takes: a piece of the response message, which shares its memory (the
    // response of a bulk query is never copied on its way out).
    struct ReadResult
    {
        QByteArray message;
        int from = 0;
        int size = 0;
        bool end = false;      // the last byte of the response message is in the piece
        bool termChar = false; // stopped at the termination character
        bool timedOut = false;
    };

    SimModule(const QString &address, std::unique_ptr<SimDeviceModel> model);
    ~SimModule();

    QString address() const { return host; }
    SimDeviceModel &model() { return *device; }
    SimTranscript &transcript() { return received; }

    // Called by the server.
    bool acceptLink();
    Delivery deliver(const QByteArray &message);
    ReadResult read(int maxBytes, int timeoutMs, bool termCharEnabled, char termChar);
    void clear();

    // Faults.
    void setMute(bool on);        // accepts messages, never answers a query
    void setRefuseLinks(bool on); // create_link fails
    void setReplyDelayMs(int ms); // every response becomes readable only after ms
    void setSendEnd(bool on);     // off: responses never carry END
    // Every read takes at most this many bytes and ends nothing until the response is used
    // up (a device with a small output buffer); 0: reads return empty-handed. Negative: off.
    void setReadPieceLimit(int bytes);
    void failNth(const QByteArray &command, int n, Fault fault);
    void clearFaults();
    void dropLinks(); // closes every open connection now
    void setDropLinksHandler(std::function<void()> handler);

private:
    struct FaultRule
    {
        QByteArray command;
        int n;
        int seen;
        Fault fault;
    };

    qint64 now() const;
    int unread() const { return int(output.size()) - outputPos; }

    QString host;
    std::unique_ptr<SimDeviceModel> device;
    SimTranscript received;

    mutable std::mutex lock;
    std::condition_variable outputReady;
    QByteArray output; // the response message; its bytes before outputPos have been read
    int outputPos = 0;
    qint64 outputReadyAt = 0;
    qint64 unreachableUntil = 0;
    bool mute = false;
    bool refuseLinks = false;
    bool sendEnd = true;
    int replyDelayMs = 0;
    int readPieceLimit = -1;
    std::vector<FaultRule> rules;
    std::function<void()> dropHandler;
};

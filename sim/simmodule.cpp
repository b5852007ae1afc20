#include "simmodule.h"

#include "timefacility.h"

#include <algorithm>
#include <chrono>
#include <cstring>

SimModule::SimModule(const QString &address, std::unique_ptr<SimDeviceModel> model)
    : host(address), device(std::move(model))
{
}

SimModule::~SimModule() = default;

qint64 SimModule::now() const
{
    return TimeFacility::instance().elapsedMs();
}

bool SimModule::acceptLink()
{
    std::lock_guard<std::mutex> guard(lock);
    return !refuseLinks && now() >= unreachableUntil;
}

SimModule::Delivery SimModule::deliver(const QByteArray &message)
{
    received.append(message);
    std::lock_guard<std::mutex> guard(lock);
    bool loseReply = false;
    for (FaultRule &rule : rules) {
        if (!message.startsWith(rule.command) || ++rule.seen != rule.n)
            continue;
        if (rule.fault == Fault::BreakLink)
            return Delivery::Break;
        if (rule.fault == Fault::NoResponse)
            return Delivery::Ignore;
        loseReply = true;
    }
    // A new program message makes unread output of the previous one stale.
    output.clear();
    outputPos = 0;
    if (mute)
        return Delivery::Answer;
    DeviceResponse response = device->execute(message);
    if (!response.data.isEmpty() && !loseReply) {
        output = response.data;
        outputReadyAt = now() + response.delayMs + replyDelayMs;
        outputReady.notify_all();
    }
    const int restartMs = device->takeRestartMs();
    if (restartMs > 0) {
        unreachableUntil = now() + restartMs;
        return Delivery::AnswerThenDropLinks;
    }
    return Delivery::Answer;
}

SimModule::ReadResult SimModule::read(int maxBytes, int timeoutMs, bool termCharEnabled,
                                      char termChar)
{
    ReadResult result;
    std::unique_lock<std::mutex> guard(lock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (unread() > 0 && now() >= outputReadyAt)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            return result;
        }
        auto wait = deadline - std::chrono::steady_clock::now();
        if (unread() > 0) {
            // Waiting for a delayed response: wake up when it is due.
            auto due = std::chrono::milliseconds(
                TimeFacility::instance().toReal(int(std::max<qint64>(1, outputReadyAt - now()))));
            wait = std::min<std::chrono::steady_clock::duration>(wait, due);
        }
        outputReady.wait_for(guard, wait);
    }
    int take = std::min(maxBytes, unread());
    if (readPieceLimit >= 0)
        take = std::min(take, readPieceLimit);
    if (termCharEnabled) {
        const char *from = output.constData() + outputPos;
        const void *at = std::memchr(from, termChar, size_t(take));
        if (at) {
            take = int(static_cast<const char *>(at) - from) + 1;
            result.termChar = true;
        }
    }
    result.message = output;
    result.from = outputPos;
    result.size = take;
    outputPos += take;
    if (unread() == 0) {
        // Used up: the piece holds the last reference to the message.
        output.clear();
        outputPos = 0;
    }
    result.end = unread() == 0 && sendEnd;
    if (readPieceLimit >= 0)
        result.termChar = false;
    if (result.end)
        result.termChar = false;
    return result;
}

void SimModule::clear()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        output.clear();
        outputPos = 0;
    }
    device->deviceClear();
}

void SimModule::setMute(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    mute = on;
    if (on) {
        output.clear();
        outputPos = 0;
    }
}

void SimModule::setRefuseLinks(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    refuseLinks = on;
}

void SimModule::setReplyDelayMs(int ms)
{
    std::lock_guard<std::mutex> guard(lock);
    replyDelayMs = ms;
}

void SimModule::setSendEnd(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    sendEnd = on;
}

void SimModule::setReadPieceLimit(int bytes)
{
    std::lock_guard<std::mutex> guard(lock);
    readPieceLimit = bytes;
}

void SimModule::failNth(const QByteArray &command, int n, Fault fault)
{
    std::lock_guard<std::mutex> guard(lock);
    rules.push_back({command, n, 0, fault});
}

void SimModule::clearFaults()
{
    std::lock_guard<std::mutex> guard(lock);
    rules.clear();
    mute = false;
    refuseLinks = false;
    sendEnd = true;
    replyDelayMs = 0;
    readPieceLimit = -1;
}

void SimModule::dropLinks()
{
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(lock);
        handler = dropHandler;
    }
    if (handler)
        handler();
}

void SimModule::setDropLinksHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> guard(lock);
    dropHandler = std::move(handler);
}

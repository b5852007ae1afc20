#pragma once

#include <visa.h>

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

// The one owner of a module's VISA session. The module panel opens it, the firmware update
// reopens it after the module's restart, and everyone who talks to the module (the panel, its
// debug window, the flash rewriter) asks it for the handle at each call: a reopened session is
// seen by all of them at their next call, without anyone being told.
//
// One thread uses the session at a time: the GUI thread, or the firmware rewrite thread while
// the panels are disabled. The handle and the failure record may be read from either.
//
// The failure record: a command chain on this session that fails notes its call and status
// here (see CommandChain), as does an open that fails. traceFailure() writes the latest one to
// the debug log, once, with the resource and the status's description; a chain that starts,
// or a session that opens, leaves nothing of an older failure to trace.
class ModuleSession : public QObject
{
    Q_OBJECT

public:
    explicit ModuleSession(QObject *parent = nullptr);
    // Closes the session if it is still open.
    ~ModuleSession() override;

    // Opens the session on resource (no lock, openTimeoutMs to wait for the link) from the
    // resource manager, which is remembered for reopen(). An open that completes with a
    // warning leaves an open session all the same, which close() gives back. Returns the
    // status of viOpen.
    ViStatus open(ViSession resourceManager, const QString &resource, ViUInt32 openTimeoutMs);
    // Closes the session and opens it once more on the same resource, without retrying.
    // replaced() follows a new session, lost() a failed open.
    ViStatus reopen(ViUInt32 openTimeoutMs);
    void close();

    // The handle for the call about to be made; VI_NULL while no session is open.
    ViSession vi() const { return handle.load(); }
    bool isOpen() const { return vi() != VI_NULL; }
    QString resource() const { return resourceName; }

    void noteFailure(const char *call, ViStatus status);
    void clearFailure();
    // Writes the failure noted last, if any, as one line of the debug log and forgets it.
    void traceFailure();

signals:
    // A reopen has put a new session in place of the old one.
    void replaced();
    // The session is gone: closed, or a reopen found the module unreachable.
    void lost();

private:
    ViStatus openSession(ViUInt32 openTimeoutMs);
    void closeSession();

    ViSession resourceManager = VI_NULL;
    QString resourceName;
    std::atomic<ViSession> handle{VI_NULL};

    std::mutex failureLock;
    bool failed = false;
    QByteArray failedCall;
    ViStatus failedStatus = VI_SUCCESS;
};

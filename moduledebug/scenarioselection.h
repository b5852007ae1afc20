#pragma once

#include <QString>
#include <QVector>

// The verifications the operator has picked for one run, each with its protocol path. Only
// ticked verifications are looked at: each needs a path, and no two may share one, or one
// protocol would overwrite another. Two paths are the same file when they differ in case only
// on a file system that ignores case (Windows); elsewhere they are compared exactly.
class ScenarioSelection
{
public:
#ifdef Q_OS_WIN
    static constexpr Qt::CaseSensitivity pathCase = Qt::CaseInsensitive;
#else
    static constexpr Qt::CaseSensitivity pathCase = Qt::CaseSensitive;
#endif

    explicit ScenarioSelection(Qt::CaseSensitivity rule = pathCase) : sameFile(rule) {}

    void add(bool ticked, const QString &path);
    bool valid() const;

private:
    Qt::CaseSensitivity sameFile;
    QVector<QString> paths; // of the ticked verifications
};

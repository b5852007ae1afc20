#pragma once

#include <QString>
#include <QVector>

// The verifications the operator has picked for one run, each with its protocol path. Only
// ticked verifications are looked at: each needs a path, and no two may share one (compared
// exactly, case included), or one protocol would overwrite another.
class ScenarioSelection
{
public:
    void add(bool ticked, const QString &path);
    bool valid() const;

private:
    QVector<QString> paths; // of the ticked verifications
};

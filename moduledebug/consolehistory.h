#pragma once

#include <QStringList>

// The lines typed in the command console, oldest first, kept in the program's settings from
// one run to the next: at most `capacity`, the oldest going first, and a line typed again
// right after itself kept once.
class ConsoleHistory
{
public:
    static constexpr int capacity = 200;

    // Reads what the settings hold.
    ConsoleHistory();

    void add(const QString &line);
    QStringList lines() const { return kept; }
    // The lines that contain text (any case), oldest first.
    QStringList matching(const QString &text) const;

private:
    QStringList kept;
};

#pragma once

#include <QByteArray>
#include <QFile>

// A figure of this process's memory from /proc/self/status, in kilobytes: "VmRSS:" now,
// "VmHWM:" the peak.
inline long memoryKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    return 0;
}

// Forgets the peak so far: VmHWM counts from here.
inline void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

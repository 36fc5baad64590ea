#pragma once

#include <QByteArray>
#include <QtEndian>
#include <cstring>

// Little-endian numbers appended to a record, a header or a directory of the binary formats
// (workbook records, the compound file, zip headers).
inline void put8(QByteArray& b, quint32 v)
{
    b += char(v & 0xff);
}

inline void put16(QByteArray& b, quint32 v)
{
    const quint16 le = qToLittleEndian(quint16(v));
    b.append(reinterpret_cast<const char*>(&le), 2);
}

inline void put32(QByteArray& b, quint32 v)
{
    const quint32 le = qToLittleEndian(v);
    b.append(reinterpret_cast<const char*>(&le), 4);
}

inline void putDouble(QByteArray& b, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    const quint64 le = qToLittleEndian(bits);
    b.append(reinterpret_cast<const char*>(&le), 8);
}

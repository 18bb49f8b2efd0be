#pragma once

// The bytes of the zip format that the split writer, the joiner and the
// fixer read and write themselves (little-endian fields, signatures).

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace backup::zipformat {

constexpr quint32 LocalHeaderSig = 0x04034b50;
constexpr quint32 CentralHeaderSig = 0x02014b50;
constexpr quint32 EndOfCentralSig = 0x06054b50;
constexpr quint32 Zip64EndSig = 0x06064b50;
constexpr quint32 Zip64LocatorSig = 0x07064b50;
constexpr quint32 DataDescriptorSig = 0x08074b50;
constexpr quint32 SpanningSig = 0x08074b50;     // first four bytes of a split set
constexpr quint32 SpanningOnceSig = 0x30304b50; // "PK00": split set that fit on one disk

constexpr int LocalHeaderSize = 30;
constexpr int CentralHeaderSize = 46;
constexpr int EndOfCentralSize = 22;

inline quint16 get16(const char *p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}
inline quint32 get32(const char *p)
{
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16
        | quint32(quint8(p[3])) << 24;
}
inline void put16(char *p, quint16 v)
{
    p[0] = char(v & 0xff);
    p[1] = char(v >> 8);
}
inline void put32(char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xff);
}
inline void append16(QByteArray &b, quint16 v)
{
    char p[2];
    put16(p, v);
    b.append(p, 2);
}
inline void append32(QByteArray &b, quint32 v)
{
    char p[4];
    put32(p, v);
    b.append(p, 4);
}

// The end-of-central-directory record.
struct EndOfCentral {
    qint64 position = 0; // of the record in the data searched
    quint16 thisDisk = 0;
    quint16 centralDisk = 0;
    quint16 entriesOnDisk = 0;
    quint16 entries = 0;
    quint32 centralSize = 0;
    quint32 centralOffset = 0;
    quint16 commentLength = 0;
};

// Looks for the record from the end of tail (the last bytes of a file,
// tailOffset being where they start in it).
std::optional<EndOfCentral> findEndOfCentral(const QByteArray &tail, qint64 tailOffset);

QByteArray encodeEndOfCentral(const EndOfCentral &end, const QByteArray &comment = QByteArray());

} // namespace backup::zipformat

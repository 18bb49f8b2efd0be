#include "zip/ZipSplit.h"

#include "zip/ZipFormat.h"
#include "zip/ZipPump.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <vector>

namespace backup {

using namespace zipformat;
using namespace zipresult;

namespace {

constexpr qint64 tailSpan = 0xffff + EndOfCentralSize;

std::optional<EndOfCentral> readEndOfCentral(QFile &file)
{
    const qint64 size = file.size();
    const qint64 from = qMax<qint64>(0, size - tailSpan);
    if (!file.seek(from))
        return std::nullopt;
    const QByteArray tail = file.read(size - from);
    return findEndOfCentral(tail, from);
}

// One record of the central directory with where its entry starts.
struct CentralRecord {
    QByteArray bytes;
    quint16 disk = 0;
    quint32 offset = 0;
};

// Splits a central directory into its records; false when it is malformed
// or needs the 64-bit extensions.
bool parseCentral(const QByteArray &central, int expected, std::vector<CentralRecord> &records)
{
    qsizetype at = 0;
    while (at < central.size()) {
        if (central.size() - at < CentralHeaderSize)
            return false;
        const char *p = central.constData() + at;
        if (get32(p) != CentralHeaderSig)
            return false;
        const qsizetype length = CentralHeaderSize + get16(p + 28) + get16(p + 30) + get16(p + 32);
        if (central.size() - at < length)
            return false;
        CentralRecord record;
        record.bytes = central.mid(at, length);
        record.disk = get16(p + 34);
        record.offset = get32(p + 42);
        if (record.offset == 0xffffffffu || get32(p + 20) == 0xffffffffu || get32(p + 24) == 0xffffffffu
            || record.disk == 0xffff)
            return false;
        records.push_back(record);
        at += length;
    }
    return int(records.size()) == expected;
}

// A write the file system refused for lack of room is no full disk that was
// inserted (the disk was found empty enough when it was prepared).
quint16 writeErrorCode()
{
    return errno == ENOSPC || errno == EDQUOT ? NoRoom : WriteError;
}

// Writes a stream of bytes across disks, keeping marked pieces whole on one disk.
class SpanWriter
{
public:
    SpanWriter(DiskSink &sink, EventPump &pump) : m_sink(sink), m_pump(pump) {}
    ~SpanWriter() { m_file.close(); }

    quint16 start() { return openDisk(1); }
    int diskIndex() const { return m_disk - 1; }
    qint64 capacity() const { return m_capacity; }
    qint64 offset() const { return m_written; }

    // Bytes that must not be cut (headers): a new disk when they do not fit.
    quint16 writeWhole(const QByteArray &bytes)
    {
        if (m_written + bytes.size() > m_capacity && m_written > 0)
            if (const quint16 next = nextDisk())
                return next;
        if (m_written + bytes.size() > m_capacity)
            return DiskFull;
        return put(bytes.constData(), bytes.size());
    }

    // Bytes that may run on to the next disk.
    quint16 writeSpanning(const char *data, qint64 size)
    {
        while (size > 0) {
            if (m_written >= m_capacity)
                if (const quint16 next = nextDisk())
                    return next;
            const qint64 n = qMin(size, m_capacity - m_written);
            if (const quint16 failed = put(data, n))
                return failed;
            data += n;
            size -= n;
        }
        return Success;
    }

    quint16 finish()
    {
        if (!m_file.flush())
            return writeErrorCode();
        m_file.close();
        return Success;
    }

    QString currentPart() const { return m_file.fileName(); }

private:
    quint16 openDisk(int number)
    {
        if (const quint16 prepared = m_sink.prepareDisk(number))
            return prepared;
        m_disk = number;
        m_capacity = m_sink.capacity(number);
        if (m_capacity < 1024)
            return DiskFull;
        m_file.setFileName(m_sink.partPath(number));
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return errno == ENOSPC || errno == EDQUOT ? NoRoom : CreateError;
        m_written = 0;
        return Success;
    }

    quint16 nextDisk()
    {
        if (!m_file.flush())
            return writeErrorCode();
        const QString part = m_file.fileName();
        m_file.close();
        if (const quint16 finished = m_sink.finishDisk(m_disk, part))
            return finished;
        return openDisk(m_disk + 1);
    }

    quint16 put(const char *data, qint64 size)
    {
        if (m_pump.aborted())
            return UserAborted;
        if (m_file.write(data, size) != size)
            return writeErrorCode();
        m_written += size;
        return Success;
    }

    DiskSink &m_sink;
    EventPump &m_pump;
    QFile m_file;
    int m_disk = 0;
    qint64 m_capacity = 0;
    qint64 m_written = 0;
};

} // namespace

std::optional<int> splitDiskCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<EndOfCentral> end = readEndOfCentral(file);
    if (!end)
        return std::nullopt;
    if (end->thisDisk == 0xffff && end->position >= 20) {
        // The 64-bit locator before the record holds the disk count.
        if (!file.seek(end->position - 20))
            return std::nullopt;
        const QByteArray locator = file.read(20);
        if (locator.size() == 20 && get32(locator.constData()) == Zip64LocatorSig)
            return int(qMin<quint32>(get32(locator.constData() + 16), 0xffff));
        return std::nullopt;
    }
    return int(end->thisDisk) + 1;
}

std::optional<int> announcedEntryCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<EndOfCentral> end = readEndOfCentral(file);
    if (!end)
        return std::nullopt;
    return int(end->entries);
}

quint16 writeSplitArchive(const QString &source, DiskSink &sink, EventPump &pump)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return ReadError;
    const std::optional<EndOfCentral> end = readEndOfCentral(in);
    if (!end || end->thisDisk != 0 || end->entries == 0xffff)
        return NotForMultidisk;
    const qint64 centralStart = end->centralOffset;
    if (centralStart + qint64(end->centralSize) > end->position)
        return CorruptedArchive;
    in.seek(centralStart);
    std::vector<CentralRecord> records;
    if (!parseCentral(in.read(end->centralSize), end->entries, records))
        return NotForMultidisk;

    const qint64 total = in.size();
    SpanWriter out(sink, pump);
    if (const quint16 started = out.start())
        return started;
    pump.resetStatus();
    if (total <= out.capacity()) {
        // It all fits on the first disk: an ordinary archive.
        in.seek(0);
        std::vector<char> chunk(1 << 16);
        for (;;) {
            const qint64 got = in.read(chunk.data(), qint64(chunk.size()));
            if (got < 0)
                return ReadError;
            if (got == 0)
                break;
            if (const quint16 written = out.writeSpanning(chunk.data(), got))
                return written;
            pump.status(int(in.pos() * 100 / qMax<qint64>(1, total)));
        }
        return out.finish();
    }
    // Entries in the order they lie in the file.
    std::vector<size_t> order(records.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return records[a].offset < records[b].offset; });

    if (const quint16 marked = out.writeWhole(QByteArray("PK\x07\x08", 4)))
        return marked;
    std::vector<char> buffer(1 << 16);
    for (size_t n = 0; n < order.size(); ++n) {
        CentralRecord &record = records[order[n]];
        const qint64 start = record.offset;
        const qint64 stop = n + 1 < order.size() ? qint64(records[order[n + 1]].offset) : centralStart;
        if (!in.seek(start))
            return ReadError;
        const QByteArray header = in.read(LocalHeaderSize);
        if (header.size() != LocalHeaderSize || get32(header.constData()) != LocalHeaderSig)
            return CorruptedArchive;
        const qint64 headerLength = LocalHeaderSize + get16(header.constData() + 26) + get16(header.constData() + 28);
        if (start + headerLength > stop)
            return CorruptedArchive;
        in.seek(start);
        const QByteArray fullHeader = in.read(headerLength);
        if (const quint16 written = out.writeWhole(fullHeader))
            return written;
        // The header sits whole on one disk: the entry starts where it was put.
        record.disk = quint16(out.diskIndex());
        record.offset = quint32(out.offset() - headerLength);
        qint64 left = stop - start - headerLength;
        while (left > 0) {
            const qint64 got = in.read(buffer.data(), qMin<qint64>(left, qint64(buffer.size())));
            if (got <= 0)
                return ReadError;
            if (const quint16 written = out.writeSpanning(buffer.data(), got))
                return written;
            left -= got;
            pump.status(int(in.pos() * 100 / qMax<qint64>(1, total)));
        }
    }

    EndOfCentral last;
    last.entries = quint16(records.size());
    bool firstRecord = true;
    quint32 centralSize = 0;
    for (const CentralRecord &record : records) {
        QByteArray bytes = record.bytes;
        put16(bytes.data() + 34, record.disk);
        put32(bytes.data() + 42, record.offset);
        const int diskBefore = out.diskIndex();
        if (const quint16 written = out.writeWhole(bytes))
            return written;
        if (firstRecord || out.diskIndex() != diskBefore) {
            if (firstRecord) {
                last.centralDisk = quint16(out.diskIndex());
                last.centralOffset = quint32(out.offset() - bytes.size());
            }
            last.entriesOnDisk = 0;
        }
        firstRecord = false;
        ++last.entriesOnDisk;
        centralSize += quint32(bytes.size());
    }
    last.centralSize = centralSize;
    // The end record may need a disk of its own; it then holds no records.
    QByteArray probe = encodeEndOfCentral(last);
    const int diskBefore = out.diskIndex();
    if (const quint16 written = out.writeWhole(QByteArray(probe.size(), '\0')))
        return written;
    if (out.diskIndex() != diskBefore)
        last.entriesOnDisk = 0;
    last.thisDisk = quint16(out.diskIndex());
    if (records.empty()) {
        last.centralDisk = last.thisDisk;
        last.centralOffset = quint32(out.offset() - probe.size());
    }
    // Rewrite the placeholder with the record itself.
    const QString part = out.currentPart();
    const qint64 endAt = out.offset() - probe.size();
    if (const quint16 finished = out.finish())
        return finished;
    QFile fixup(part);
    if (!fixup.open(QIODevice::ReadWrite) || !fixup.seek(endAt))
        return WriteError;
    probe = encodeEndOfCentral(last);
    if (fixup.write(probe) != probe.size() || !fixup.flush())
        return writeErrorCode();
    pump.status(100);
    return Success;
}

namespace {

// Whether a file can be disk `index` of the set whose central directory is
// `records` (empty: the directory is not on the last disk alone, and the
// entries are not looked for). A set has no mark of its own on its disks:
// what is checked is that the file is no last disk, that it starts with
// the set's mark when it is the first and only then, that it is none of
// the disks already read (`seen`), and that the entries the directory puts
// on it begin where it says, under their names.
bool isDiskOfSet(const QString &path, int index, const std::vector<CentralRecord> &records, QSet<QByteArray> &seen)
{
    QFile part(path);
    if (!part.open(QIODevice::ReadOnly) || readEndOfCentral(part))
        return false; // a last disk, of this set or another
    part.seek(0);
    const QByteArray mark = part.read(4);
    if ((mark.size() == 4 && get32(mark.constData()) == SpanningSig) != (index == 0))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    part.seek(0);
    if (!hash.addData(&part) || seen.contains(hash.result()))
        return false;
    for (const CentralRecord &record : records) {
        if (record.disk != index)
            continue;
        const QByteArray name = record.bytes.mid(CentralHeaderSize, get16(record.bytes.constData() + 28));
        if (!part.seek(record.offset))
            return false;
        const QByteArray header = part.read(LocalHeaderSize + name.size());
        if (header.size() != LocalHeaderSize + name.size() || get32(header.constData()) != LocalHeaderSig
            || header.mid(LocalHeaderSize) != name)
            return false;
        // Without a trailing descriptor the local header repeats the CRC and
        // the sizes: another backup of the same file differs there.
        const bool descriptor = get16(header.constData() + 6) & 0x08;
        if (!descriptor && header.mid(14, 12) != record.bytes.mid(16, 12))
            return false;
    }
    seen.insert(hash.result());
    return true;
}

} // namespace

quint16 joinSplitArchive(const QString &lastDisk, const DiskFinder &diskPath, const QString &target)
{
    QFile lastFile(lastDisk);
    if (!lastFile.open(QIODevice::ReadOnly))
        return ReadError;
    const std::optional<EndOfCentral> end = readEndOfCentral(lastFile);
    if (!end || end->thisDisk == 0xffff || end->centralDisk > end->thisDisk)
        return CorruptedArchive;
    const int disks = end->thisDisk + 1;
    QSet<QByteArray> seen;
    // The directory on the last disk tells which disks are this set's.
    std::vector<CentralRecord> known;
    // A directory said to run past the end record is not read: its size
    // could be anything the bytes say.
    if (end->centralDisk == end->thisDisk && end->centralOffset + qint64(end->centralSize) <= end->position
        && lastFile.seek(end->centralOffset) && !parseCentral(lastFile.read(end->centralSize), end->entries, known))
        known.clear();
    std::vector<QString> paths(static_cast<size_t>(disks));
    std::vector<qint64> starts(size_t(disks) + 1, 0);
    for (int i = 0; i < disks; ++i) {
        if (i + 1 == disks) {
            paths[size_t(i)] = lastDisk;
        } else {
            const std::optional<QString> found =
                diskPath(i, [i, &known, &seen](const QString &path) { return isDiskOfSet(path, i, known, seen); });
            if (!found)
                return FileNotFound;
            paths[size_t(i)] = *found;
        }
        starts[size_t(i) + 1] = starts[size_t(i)] + QFileInfo(paths[size_t(i)]).size();
    }
    // Reads a range of the set as if its disks were one file.
    auto readRange = [&](qint64 from, qint64 length, QByteArray &into) {
        into.clear();
        for (int i = 0; i < disks && length > 0; ++i) {
            const qint64 begin = starts[size_t(i)], finish = starts[size_t(i) + 1];
            if (from >= finish || from + length <= begin)
                continue;
            QFile part(paths[size_t(i)]);
            if (!part.open(QIODevice::ReadOnly) || !part.seek(from - begin))
                return false;
            const qint64 n = qMin(length, finish - from);
            const QByteArray got = part.read(n);
            if (got.size() != n)
                return false;
            into.append(got);
            from += n;
            length -= n;
        }
        return length == 0;
    };

    QByteArray mark;
    if (!readRange(0, 4, mark))
        return CorruptedArchive;
    const qint64 shift = (get32(mark.constData()) == SpanningSig || get32(mark.constData()) == SpanningOnceSig) ? 4 : 0;
    const qint64 centralAt = starts[end->centralDisk] + end->centralOffset;
    const qint64 endAt = starts[size_t(disks) - 1] + end->position;
    if (centralAt < shift || centralAt + qint64(end->centralSize) > endAt)
        return CorruptedArchive;
    QByteArray central;
    if (!readRange(centralAt, end->centralSize, central))
        return ReadError;
    std::vector<CentralRecord> records;
    if (!parseCentral(central, end->entries, records))
        return CorruptedArchive;

    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return CreateError;
    // The entries' bytes, disk after disk.
    std::vector<char> buffer(1 << 16);
    for (int i = 0; i < disks; ++i) {
        const qint64 begin = qMax(starts[size_t(i)], shift);
        const qint64 finish = qMin(starts[size_t(i) + 1], centralAt);
        if (begin >= finish)
            continue;
        QFile part(paths[size_t(i)]);
        if (!part.open(QIODevice::ReadOnly) || !part.seek(begin - starts[size_t(i)]))
            return ReadError;
        qint64 left = finish - begin;
        while (left > 0) {
            const qint64 got = part.read(buffer.data(), qMin<qint64>(left, qint64(buffer.size())));
            if (got <= 0)
                return ReadError;
            if (out.write(buffer.data(), got) != got)
                return writeErrorCode();
            left -= got;
        }
    }
    QByteArray newCentral;
    for (CentralRecord &record : records) {
        if (record.disk >= disks)
            return CorruptedArchive;
        const qint64 at = starts[record.disk] + record.offset - shift;
        if (at < 0 || at >= centralAt - shift)
            return CorruptedArchive;
        put16(record.bytes.data() + 34, 0);
        put32(record.bytes.data() + 42, quint32(at));
        newCentral.append(record.bytes);
    }
    EndOfCentral joined;
    joined.entries = joined.entriesOnDisk = quint16(records.size());
    joined.centralSize = quint32(newCentral.size());
    joined.centralOffset = quint32(centralAt - shift);
    newCentral.append(encodeEndOfCentral(joined));
    if (out.write(newCentral) != newCentral.size() || !out.flush())
        return writeErrorCode();
    return Success;
}

} // namespace backup

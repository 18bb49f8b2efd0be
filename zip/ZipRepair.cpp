#include "zip/ZipRepair.h"

#include "zip/ZipFormat.h"
#include "zip/ZipMain.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <zlib.h>

namespace backup {

using namespace zipformat;

namespace {

constexpr quint16 FlagEncrypted = 0x0001;
constexpr quint16 FlagDescriptor = 0x0008;
constexpr quint16 FlagUtf8Names = 0x0800;
constexpr quint16 MethodStore = 0;
constexpr quint16 MethodDeflate = 8;
constexpr quint16 MethodAes = 99;

// An entry found whole: where its header and data lie, and its true sizes.
struct FoundEntry {
    qint64 header = 0;
    qint64 data = 0;
    qint64 next = 0; // first byte after the entry (and its descriptor)
    quint16 flags = 0;
    quint32 crc = 0;
    quint32 packed = 0;
    quint32 size = 0;
    QByteArray name;
    QByteArray extra;
};

// Inflates raw deflate data from p; the bytes it used, the bytes it made
// and their CRC, or false when the data is not a whole deflate stream.
bool inflateCheck(const char *p, qint64 available, qint64 &used, qint64 &made, quint32 &crc)
{
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    std::vector<unsigned char> out(1 << 16);
    crc = quint32(crc32(0L, Z_NULL, 0));
    made = 0;
    qint64 offered = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            const qint64 chunk = qMin<qint64>(available - offered, 1 << 30);
            if (chunk <= 0)
                break;
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(p + offered));
            z.avail_in = uInt(chunk);
            offered += chunk;
        }
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        const qint64 produced = qint64(out.size()) - z.avail_out;
        crc = quint32(crc32(crc, out.data(), uInt(produced)));
        made += produced;
        if (made > 0xffffffffLL)
            break;
    }
    used = qint64(z.total_in);
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

// Every block of an extra field lies whole inside it.
bool wellFormedExtra(const QByteArray &extra)
{
    const std::vector<char> bytes(extra.begin(), extra.end());
    size_t at = 0;
    while (bytes.size() >= at + 4)
        at += 4 + get16(bytes.data() + at + 2);
    return at == bytes.size();
}

// Removes the 64-bit sizes block (id 1) from an extra field and returns
// its data; the rebuilt entry carries its sizes in the header instead.
std::optional<QByteArray> takeZip64Block(QByteArray &extra)
{
    // A copy the compiler can see the bounds of.
    const std::vector<char> bytes(extra.begin(), extra.end());
    size_t at = 0;
    while (bytes.size() >= at + 4) {
        const quint16 id = get16(bytes.data() + at);
        const quint16 length = get16(bytes.data() + at + 2);
        if (bytes.size() - at - 4 < length)
            return std::nullopt;
        if (id == 0x0001) {
            const QByteArray data(bytes.data() + at + 4, length);
            extra.remove(qsizetype(at), 4 + length);
            return data;
        }
        at += 4 + length;
    }
    return std::nullopt;
}

// Whether readers take `name` for the UTF-8 its flag says it is: printable
// ASCII, tabs and line ends, and whole multi-byte sequences. A name that is
// not keeps its bytes and loses the flag, so that the rebuilt archive opens.
bool readsAsUtf8(const QByteArray &name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if ((c > 31 && c < 128) || c == '\r' || c == '\n' || c == '\t')
            continue;
        const int following = (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : -1;
        if (following < 0 || name.size() - i - 1 < following)
            return false;
        for (int k = 1; k <= following; ++k) {
            if ((static_cast<unsigned char>(name[i + k]) & 0xc0) != 0x80)
                return false;
        }
        i += following;
    }
    return true;
}

std::optional<FoundEntry> readEntry(const char *base, qint64 size, qint64 at)
{
    if (at < 0 || size - at < LocalHeaderSize)
        return std::nullopt;
    const char *p = base + at;
    if (get32(p) != LocalHeaderSig)
        return std::nullopt;
    FoundEntry e;
    e.header = at;
    e.flags = get16(p + 6);
    const quint16 method = get16(p + 8);
    e.crc = get32(p + 14);
    e.packed = get32(p + 18);
    e.size = get32(p + 22);
    const quint16 nameLength = get16(p + 26), extraLength = get16(p + 28);
    if (nameLength == 0 || size - at - LocalHeaderSize < qint64(nameLength) + extraLength)
        return std::nullopt;
    e.name = QByteArray(p + LocalHeaderSize, nameLength);
    e.extra = QByteArray(p + LocalHeaderSize + nameLength, extraLength);
    if (e.name.contains('\0'))
        return std::nullopt;
    if ((e.flags & FlagUtf8Names) && !readsAsUtf8(e.name))
        e.flags &= quint16(~FlagUtf8Names);
    if (!wellFormedExtra(e.extra)) {
        // A damaged extra field goes; the entry's data does not need it
        // unless it is encrypted by AES, whose parameters live there.
        if (method == MethodAes)
            return std::nullopt;
        e.extra.clear();
    }
    e.data = at + LocalHeaderSize + nameLength + extraLength;
    const char *data = base + e.data;
    const qint64 available = size - e.data;
    // Writers that did not know the sizes in advance put them in a 64-bit
    // block; entries that truly need 64 bits are not rebuilt.
    const std::optional<QByteArray> zip64 = takeZip64Block(e.extra);
    if (zip64) {
        qsizetype at64 = 0;
        auto next = [&](quint32 &field) {
            if (field != 0xffffffffu)
                return true;
            if (zip64->size() < at64 + 8 || get32(zip64->constData() + at64 + 4) != 0)
                return false;
            field = get32(zip64->constData() + at64);
            at64 += 8;
            return field != 0xffffffffu;
        };
        if (!next(e.size) || !next(e.packed))
            return std::nullopt;
    }
    if (e.packed == 0xffffffffu || e.size == 0xffffffffu)
        return std::nullopt;

    const bool encrypted = (e.flags & FlagEncrypted) || method == MethodAes;
    if (e.flags & FlagDescriptor) {
        // Sizes follow the data; only a deflate stream tells where it ends.
        if (encrypted || method != MethodDeflate)
            return std::nullopt;
        qint64 used = 0, made = 0;
        quint32 crc = 0;
        if (!inflateCheck(data, available, used, made, crc))
            return std::nullopt;
        qint64 after = e.data + used;
        if (size - after >= 4 && get32(base + after) == DataDescriptorSig)
            after += 4;
        // With a 64-bit block the descriptor's sizes are 8 bytes each.
        const int width = zip64 ? 8 : 4;
        if (size - after < 4 + 2 * width || get32(base + after) != crc || get32(base + after + 4) != quint32(used)
            || get32(base + after + 4 + width) != quint32(made)
            || (width == 8 && (get32(base + after + 8) != 0 || get32(base + after + 16) != 0)))
            return std::nullopt;
        e.crc = crc;
        e.packed = quint32(used);
        e.size = quint32(made);
        e.next = after + 4 + 2 * width;
        return e;
    }
    if (qint64(e.packed) > available)
        return std::nullopt;
    e.next = e.data + e.packed;
    if (encrypted)
        return e; // its data cannot be checked without the password
    if (method == MethodStore) {
        if (e.packed != e.size || quint32(crc32(0L, reinterpret_cast<const Bytef *>(data), uInt(e.packed))) != e.crc)
            return std::nullopt;
        return e;
    }
    if (method != MethodDeflate)
        return std::nullopt;
    qint64 used = 0, made = 0;
    quint32 crc = 0;
    if (!inflateCheck(data, e.packed, used, made, crc) || used != e.packed || made != e.size || crc != e.crc)
        return std::nullopt;
    return e;
}

qint64 findSignature(const char *base, qint64 size, qint64 from)
{
    static const char sig[4] = {'P', 'K', 3, 4};
    if (from < 0)
        from = 0;
    while (from + 4 <= size) {
        const void *hit = std::memchr(base + from, 'P', size_t(size - from));
        if (!hit)
            return -1;
        const qint64 at = static_cast<const char *>(hit) - base;
        if (at + 4 <= size && std::memcmp(base + at, sig, 4) == 0)
            return at;
        from = at + 1;
    }
    return -1;
}

RepairOutcome rebuild(const char *base, qint64 size, bool aggressive, QByteArray &out,
                      const std::function<bool(const QString &)> &onEntry)
{
    RepairOutcome outcome;
    QByteArray central;
    quint16 count = 0;
    qint64 at = 0;
    if (size >= 4 && (get32(base) == SpanningSig || get32(base) == SpanningOnceSig))
        at = 4;
    while (at >= 0 && at + LocalHeaderSize <= size) {
        const std::optional<FoundEntry> found = readEntry(base, size, at);
        if (!found) {
            if (!aggressive)
                break;
            at = findSignature(base, size, at + 1);
            continue;
        }
        if (count == 0xffff || out.size() + (found->next - found->header) > 0x7fff0000LL)
            break;
        const quint32 offset = quint32(out.size());
        // The local header, with the true sizes and no trailing descriptor.
        QByteArray header(base + found->header, LocalHeaderSize);
        const quint16 flags = quint16(found->flags & ~FlagDescriptor);
        put16(header.data() + 6, flags);
        put32(header.data() + 14, found->crc);
        put32(header.data() + 18, found->packed);
        put32(header.data() + 22, found->size);
        put16(header.data() + 28, quint16(found->extra.size()));
        out.append(header);
        out.append(found->name);
        out.append(found->extra);
        out.append(base + found->data, found->packed);

        const bool folder = found->name.endsWith('/');
        QByteArray record;
        append32(record, CentralHeaderSig);
        append16(record, quint16(3 << 8 | 20));   // made on Unix, zip 2.0
        record.append(header.constData() + 4, 2); // version needed
        append16(record, flags);
        record.append(header.constData() + 8, 6); // method, time, date
        append32(record, found->crc);
        append32(record, found->packed);
        append32(record, found->size);
        append16(record, quint16(found->name.size()));
        append16(record, quint16(found->extra.size()));
        append16(record, 0); // comment
        append16(record, 0); // disk
        append16(record, 0); // internal attributes
        append32(record, folder ? (quint32(040700) << 16 | 0x10) : quint32(0100600) << 16);
        append32(record, offset);
        record.append(found->name);
        record.append(found->extra);
        central.append(record);
        ++count;
        ++outcome.recovered;
        if (onEntry) {
            QString shown = QString::fromUtf8(found->name);
            shown.replace(QLatin1Char('/'), QLatin1Char('\\'));
            if (!onEntry(shown)) {
                outcome.code = zipresult::UserAborted;
                return outcome;
            }
        }
        at = found->next;
    }
    if (count == 0) {
        outcome.code = zipresult::CannotFix;
        return outcome;
    }
    EndOfCentral end;
    end.entries = end.entriesOnDisk = count;
    end.centralSize = quint32(central.size());
    end.centralOffset = quint32(out.size());
    out.append(central);
    out.append(encodeEndOfCentral(end));
    return outcome;
}

} // namespace

RepairOutcome repairBytes(const QByteArray &damaged, bool aggressive, QByteArray &rebuilt,
                          const std::function<bool(const QString &)> &onEntry)
{
    rebuilt.clear();
    if (damaged.size() < LocalHeaderSize)
        return RepairOutcome{zipresult::CannotFix, 0};
    return rebuild(damaged.constData(), damaged.size(), aggressive, rebuilt, onEntry);
}

RepairOutcome repairArchive(const QString &source, const QString &target, bool aggressive,
                            const std::function<bool(const QString &)> &onEntry)
{
    RepairOutcome outcome;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        outcome.code = in.exists() ? zipresult::ReadError : zipresult::FileNotFound;
        return outcome;
    }
    const qint64 size = in.size();
    const uchar *mapped = size > 0 ? in.map(0, size) : nullptr;
    if (size > 0 && !mapped) {
        outcome.code = zipresult::ReadError;
        return outcome;
    }
    QByteArray rebuilt;
    outcome = rebuild(reinterpret_cast<const char *>(mapped), size, aggressive, rebuilt, onEntry);
    if (outcome.code != zipresult::Success)
        return outcome;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(rebuilt) != rebuilt.size() || !out.commit()) {
        outcome.code = errno == ENOSPC ? zipresult::DiskFull : zipresult::WriteError;
        return outcome;
    }
    return outcome;
}

} // namespace backup

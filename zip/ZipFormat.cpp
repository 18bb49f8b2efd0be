#include "zip/ZipFormat.h"

namespace backup::zipformat {

std::optional<EndOfCentral> findEndOfCentral(const QByteArray &tail, qint64 tailOffset)
{
    for (qsizetype at = tail.size() - EndOfCentralSize; at >= 0; --at) {
        const char *p = tail.constData() + at;
        if (get32(p) != EndOfCentralSig)
            continue;
        EndOfCentral end;
        end.position = tailOffset + at;
        end.thisDisk = get16(p + 4);
        end.centralDisk = get16(p + 6);
        end.entriesOnDisk = get16(p + 8);
        end.entries = get16(p + 10);
        end.centralSize = get32(p + 12);
        end.centralOffset = get32(p + 16);
        end.commentLength = get16(p + 20);
        // The comment must reach the end of the file exactly.
        if (at + EndOfCentralSize + end.commentLength != tail.size())
            continue;
        return end;
    }
    return std::nullopt;
}

QByteArray encodeEndOfCentral(const EndOfCentral &end, const QByteArray &comment)
{
    QByteArray b;
    append32(b, EndOfCentralSig);
    append16(b, end.thisDisk);
    append16(b, end.centralDisk);
    append16(b, end.entriesOnDisk);
    append16(b, end.entries);
    append32(b, end.centralSize);
    append32(b, end.centralOffset);
    append16(b, quint16(comment.size()));
    b.append(comment);
    return b;
}

} // namespace backup::zipformat

// Deflate over blocks on several threads: one raw stream that inflates to
// every byte of the input, with the input's CRC, about as small as one
// thread makes it.
#include "deflate/ParallelDeflate.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <zlib.h>

using parallel::ParallelDeflate;

namespace {

// Feeds `input` in pieces of `piece` bytes (at most a block) and takes the
// output in pieces of `take` bytes, as a reader with small buffers does.
QByteArray deflateAll(ParallelDeflate &deflater, const QByteArray &input, qsizetype piece, qsizetype take)
{
    QByteArray out;
    QByteArray buffer(take, Qt::Uninitialized);
    qsizetype at = 0;
    while (!deflater.atEnd()) {
        if (deflater.wantsInput()) {
            const qsizetype n = std::min({piece, deflater.blockSize(), input.size() - at});
            if (n == 0)
                deflater.endInput();
            else
                deflater.addInput(input.mid(at, n));
            at += n;
            continue;
        }
        const qsizetype n = deflater.takeOutput(buffer.data(), buffer.size());
        EXPECT_GE(n, 0);
        if (n < 0)
            break;
        out.append(buffer.constData(), n);
    }
    return out;
}

QByteArray inflateRaw(const QByteArray &stream, bool *complete)
{
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    QByteArray out;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.constData()));
    z.avail_in = uInt(stream.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef *>(buffer.data());
        z.avail_out = uInt(buffer.size());
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer.constData(), buffer.size() - qsizetype(z.avail_out));
    }
    *complete = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return out;
}

QByteArray singleThread(const QByteArray &input, int level, int memLevel)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, memLevel, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(input.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.constData()));
    z.avail_in = uInt(input.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(out.size() - qsizetype(z.avail_out));
    deflateEnd(&z);
    return out;
}

// Text-like rows that repeat across blocks, the way database pages do,
// with random bytes mixed in.
QByteArray rowsLike(qsizetype size, QRandomGenerator &random)
{
    QByteArray data;
    data.reserve(size + 128);
    while (data.size() < size) {
        const quint32 n = random.bounded(100000u);
        data += "Locker " + QByteArray::number(n % 3000) + ";Last" + QByteArray::number(n % 9973) + ";bowler"
            + QByteArray::number(n) + "@example.com;";
        if (random.bounded(8u) == 0)
            data += char(random.bounded(256u));
    }
    data.truncate(size);
    return data;
}

quint32 crcOf(const QByteArray &data)
{
    return quint32(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
}

} // namespace

// Sizes below, at and above a block and empty entries, random or repetitive
// bytes, several block sizes and thread counts, fed and taken in pieces of
// every size: every byte comes back, with the input's CRC.
TEST(ParallelDeflate, EveryByteComesBackWithTheInputsCrc)
{
    QRandomGenerator random(20261208);
    for (int round = 0; round < 60; ++round) {
        const qsizetype block = qsizetype(1) << random.bounded(6, 17);
        const qsizetype sizes[] = {
            0, 1, block - 1, block, block + 1, 3 * block, qsizetype(random.bounded(8 * int(block)))};
        const qsizetype size = sizes[round % std::size(sizes)];
        QByteArray input;
        if (round % 3 == 0) {
            input = QByteArray(size, 0);
            random.fillRange(reinterpret_cast<quint32 *>(input.data()), size / 4);
        } else {
            input = rowsLike(size, random);
        }
        ParallelDeflate::Options options;
        options.level = int(random.bounded(1, 10));
        options.threads = int(random.bounded(1, 5));
        options.blockSize = block;
        ParallelDeflate deflater(options);
        const QByteArray stream = deflateAll(deflater, input, qsizetype(random.bounded(1, int(block) + 1)),
                                             qsizetype(random.bounded(1, 70000)));
        bool complete = false;
        const QByteArray back = inflateRaw(stream, &complete);
        ASSERT_TRUE(complete) << "round " << round << ", " << size << " bytes in blocks of " << block;
        ASSERT_EQ(back, input) << "round " << round;
        EXPECT_EQ(deflater.crc(), crcOf(input));
        EXPECT_EQ(deflater.inputSize(), input.size());
    }
}

// Blocks primed with the input before them lose next to nothing to one
// thread's stream.
TEST(ParallelDeflate, WithinOnePercentOfOneThreadsSize)
{
    QRandomGenerator random(7);
    const QByteArray input = rowsLike(4 << 20, random);
    for (const int level : {1, 6, 9}) {
        ParallelDeflate::Options options;
        options.level = level;
        options.memLevel = 7;
        options.threads = 2;
        ParallelDeflate deflater(options);
        const QByteArray stream = deflateAll(deflater, input, 1 << 20, 1 << 16);
        const qsizetype one = singleThread(input, level, 7).size();
        EXPECT_LT(double(stream.size()), 1.01 * double(one)) << "level " << level;
    }
}

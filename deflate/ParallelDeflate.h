#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <future>
#include <memory>

namespace parallel {

// Deflates one stream over blocks on several threads into one raw deflate
// stream, as parallel compressors do: each block is compressed on its own,
// primed with the 32 KiB of input before it (so matches still reach back
// across the seam) and ended on a byte boundary (an empty stored block), and
// a last empty block closes the stream. Any inflater reads the result as one
// ordinary stream; its size stays within a fraction of a percent of one
// thread's. The CRC-32 of the input is combined from the blocks' own.
//
// The caller feeds input and takes output on one thread, in any rhythm:
//
//     while (!deflater.atEnd()) {
//         if (deflater.wantsInput()) { read up to blockSize() bytes; n > 0 ? addInput(...) : endInput(); }
//         else out += deflater.takeOutput(buffer, size);   // waits for the oldest block only when nothing is ready
//     }
class ParallelDeflate
{
public:
    struct Options {
        int level = 6;    // 1 to 9
        int memLevel = 8; // as deflateInit2's
        int threads = 0;  // 0: one per core
        qsizetype blockSize = qsizetype(1) << 20;
    };

    explicit ParallelDeflate(const Options &options);
    ~ParallelDeflate(); // waits for the blocks in flight
    ParallelDeflate(const ParallelDeflate &) = delete;
    ParallelDeflate &operator=(const ParallelDeflate &) = delete;

    qsizetype blockSize() const { return m_options.blockSize; }
    int threads() const { return m_threads; }

    // True while the input is open and another block may start.
    bool wantsInput() const;
    // The next piece of input, at most blockSize() bytes; each is a block.
    void addInput(QByteArray block);
    // No more input: the stream is closed after the blocks in flight.
    void endInput();

    // Copies compressed bytes, in order, into `out`; waits for the oldest
    // block in flight when none are ready. Returns -1 when zlib failed.
    qsizetype takeOutput(char *out, qsizetype max);
    // Every byte of the stream has been taken.
    bool atEnd() const;

    // Of the input so far; final once atEnd().
    quint32 crc() const { return m_crc; }
    qint64 inputSize() const { return m_inputSize; }

private:
    struct Block {
        QByteArray output;
        quint32 crc = 0;
        qint64 size = 0;
        bool failed = false;
    };
    static Block compress(const Options &options, QByteArray dictionary, QByteArray input);
    bool nextReady(bool wait);

    Options m_options;
    int m_threads = 1;
    std::deque<std::future<Block>> m_inFlight;
    QByteArray m_previous; // the last block's input, for the next one's dictionary
    QByteArray m_ready;    // output of finished blocks not yet taken
    qsizetype m_readyAt = 0;
    bool m_inputEnded = false;
    bool m_closed = false; // the closing block is in m_ready
    bool m_failed = false;
    quint32 m_crc = 0;
    qint64 m_inputSize = 0;
};

} // namespace parallel

#include "deflate/ParallelDeflate.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <zlib.h>

namespace parallel {

namespace {

constexpr qsizetype kWindow = 32768;

// A final block of fixed codes holding nothing but its end: what closes a
// stream that stopped on a byte boundary.
constexpr char kClosingBlock[] = {0x03, 0x00};

} // namespace

ParallelDeflate::ParallelDeflate(const Options &options)
    : m_options(options)
    , m_threads(options.threads > 0 ? options.threads : int(std::max(1u, std::thread::hardware_concurrency())))
    , m_crc(quint32(crc32(0L, Z_NULL, 0)))
{
    m_options.blockSize = std::max<qsizetype>(options.blockSize, 1);
}

ParallelDeflate::~ParallelDeflate()
{
    for (auto &block : m_inFlight)
        block.wait();
}

ParallelDeflate::Block ParallelDeflate::compress(const Options &options, QByteArray dictionary, QByteArray input)
{
    Block block;
    block.size = input.size();
    block.crc = quint32(crc32(0L, reinterpret_cast<const Bytef *>(input.constData()), uInt(input.size())));
    z_stream z{};
    if (deflateInit2(&z, options.level, Z_DEFLATED, -MAX_WBITS, options.memLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        block.failed = true;
        return block;
    }
    if (!dictionary.isEmpty()) {
        const qsizetype n = std::min(dictionary.size(), kWindow);
        deflateSetDictionary(&z, reinterpret_cast<const Bytef *>(dictionary.constData() + dictionary.size() - n),
                             uInt(n));
    }
    // deflateBound covers one call that finishes; a sync flush adds its marker.
    block.output.resize(qsizetype(deflateBound(&z, uLong(input.size()))) + 16);
    z.next_in = reinterpret_cast<Bytef *>(input.data());
    z.avail_in = uInt(input.size());
    z.next_out = reinterpret_cast<Bytef *>(block.output.data());
    z.avail_out = uInt(block.output.size());
    const int rc = deflate(&z, Z_SYNC_FLUSH);
    block.failed = rc != Z_OK || z.avail_in != 0 || z.avail_out == 0;
    block.output.truncate(block.output.size() - qsizetype(z.avail_out));
    deflateEnd(&z);
    return block;
}

bool ParallelDeflate::wantsInput() const
{
    return !m_inputEnded && !m_failed && qsizetype(m_inFlight.size()) < 2 * m_threads;
}

void ParallelDeflate::addInput(QByteArray block)
{
    if (m_inputEnded || block.isEmpty())
        return;
    m_inFlight.push_back(std::async(std::launch::async, &ParallelDeflate::compress, m_options, m_previous, block));
    m_previous = std::move(block);
}

void ParallelDeflate::endInput()
{
    m_inputEnded = true;
    m_previous.clear();
}

// Moves the oldest block's output to m_ready when it is done (or, with
// `wait`, once it is). False when there is nothing to move.
bool ParallelDeflate::nextReady(bool wait)
{
    if (m_inFlight.empty()) {
        if (!m_inputEnded || m_closed)
            return false;
        m_ready.append(kClosingBlock, sizeof kClosingBlock);
        m_closed = true;
        return true;
    }
    auto &oldest = m_inFlight.front();
    if (!wait && oldest.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    Block block = oldest.get();
    m_inFlight.pop_front();
    if (block.failed) {
        m_failed = true;
        return false;
    }
    m_crc = quint32(crc32_combine(m_crc, block.crc, z_off_t(block.size)));
    m_inputSize += block.size;
    m_ready.append(block.output);
    return true;
}

qsizetype ParallelDeflate::takeOutput(char *out, qsizetype max)
{
    if (m_failed)
        return -1;
    if (m_readyAt == m_ready.size()) {
        m_ready.clear();
        m_readyAt = 0;
        while (nextReady(false)) {
        }
        if (m_ready.isEmpty() && !nextReady(true))
            return m_failed ? -1 : 0;
    }
    const qsizetype n = std::min(max, m_ready.size() - m_readyAt);
    std::memcpy(out, m_ready.constData() + m_readyAt, size_t(n));
    m_readyAt += n;
    return n;
}

bool ParallelDeflate::atEnd() const
{
    return m_closed && m_readyAt == m_ready.size();
}

} // namespace parallel

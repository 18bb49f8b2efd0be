#include "store/salvage/PageReader.h"

#include <algorithm>
#include <cstring>

namespace store::pages {

namespace {

constexpr std::uint8_t kIndexInterior = 0x02;
constexpr std::uint8_t kTableInterior = 0x05;
constexpr std::uint8_t kIndexLeaf = 0x0A;
constexpr std::uint8_t kTableLeaf = 0x0D;
constexpr std::uint32_t kMinUsable = 480;
constexpr char kMagic[] = "SQLite format 3"; // and its closing zero byte

std::uint32_t be16(const std::uint8_t *p)
{
    return (std::uint32_t(p[0]) << 8) | p[1];
}

std::uint32_t be32(const std::uint8_t *p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

bool isInterior(std::uint8_t type)
{
    return type == kIndexInterior || type == kTableInterior;
}

bool isPageSize(std::uint32_t size)
{
    return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

// The bytes a value of a serial type takes; false for the two reserved types.
bool contentSize(std::uint64_t serialType, std::uint64_t *size)
{
    static constexpr std::uint8_t kFixed[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
    if (serialType < 10) {
        *size = kFixed[serialType];
        return true;
    }
    if (serialType < 12)
        return false;
    *size = (serialType - 12) / 2;
    return true;
}

std::int64_t bigEndianSigned(const std::uint8_t *p, std::uint64_t size)
{
    std::uint64_t v = (p[0] & 0x80) ? ~std::uint64_t(0) : 0;
    for (std::uint64_t i = 0; i < size; ++i)
        v = (v << 8) | p[i];
    return std::int64_t(v);
}

} // namespace

int readVarint(std::span<const std::uint8_t> bytes, std::size_t at, std::uint64_t *value)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 9; ++i) {
        if (at + std::size_t(i) >= bytes.size())
            return 0;
        const std::uint8_t b = bytes[at + std::size_t(i)];
        if (i == 8) {
            v = (v << 8) | b;
            *value = v;
            return 9;
        }
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80)) {
            *value = v;
            return i + 1;
        }
    }
    return 0;
}

PageReader::PageReader(std::span<const std::uint8_t> file) : m_file(file)
{
    detectLayout();
}

PageReader::PageReader(std::span<const std::uint8_t> file, const Layout &layout) : m_file(file), m_layout(layout)
{
}

void PageReader::detectLayout()
{
    m_layout = Layout();
    const std::size_t size = m_file.size();
    if (size >= 100) {
        m_layout.headerReadable = std::memcmp(m_file.data(), kMagic, sizeof kMagic) == 0;
        const int encoding = int(be32(m_file.data() + 56));
        if (encoding >= 1 && encoding <= 3)
            m_layout.textEncoding = encoding;
    }

    auto use = [this, size](std::uint32_t pageSize, std::uint32_t reserved) {
        m_layout.pageSize = pageSize;
        m_layout.usableSize = pageSize - reserved >= kMinUsable ? pageSize - reserved : pageSize;
        const std::size_t pages = size / pageSize;
        m_layout.pageCount = pages > 0xFFFFFFFEu ? 0xFFFFFFFEu : std::uint32_t(pages);
    };

    if (size >= 100) {
        std::uint32_t declared = be16(m_file.data() + 16);
        if (declared == 1)
            declared = 65536;
        if (isPageSize(declared)) {
            use(declared, m_file[20]);
            // A header that is whole also tells how many of the pages are the database's.
            if (m_layout.headerReadable && be32(m_file.data() + 92) == be32(m_file.data() + 24)) {
                const std::uint32_t inHeader = be32(m_file.data() + 28);
                if (inHeader > 0 && inHeader < m_layout.pageCount)
                    m_layout.pageCount = inHeader;
            }
            if (m_layout.headerReadable || plausiblePages(declared, 256) > 0)
                return;
        }
    }

    // No header to believe: the page size under which most pages look like
    // b-tree pages; a tie goes to the larger size, whose pages hold the
    // smaller ones' cell pointers.
    std::uint32_t best = 0;
    int bestScore = -1;
    for (std::uint32_t candidate = 512; candidate <= 65536; candidate *= 2) {
        if (candidate > size && best != 0)
            break;
        const int score = plausiblePages(candidate, 2048);
        if (score >= bestScore) {
            bestScore = score;
            best = candidate;
        }
    }
    use(best, 0);
}

int PageReader::plausiblePages(std::uint32_t pageSize, std::uint32_t limit) const
{
    PageReader probe(m_file,
                     Layout{pageSize, pageSize,
                            std::uint32_t(std::min<std::size_t>(m_file.size() / pageSize, 0xFFFFFFFEu)), 1, false});
    int score = 0;
    const std::uint32_t last = std::min<std::uint32_t>(probe.m_layout.pageCount, limit);
    for (std::uint32_t page = 1; page <= last; ++page) {
        PageHeader h;
        std::uint32_t offset = 0;
        if (probe.readHeader(page, &h) && h.cellCount > 0 && probe.cellOffset(h, 0, &offset))
            ++score;
    }
    return score;
}

bool PageReader::readHeader(std::uint32_t page, PageHeader *h) const
{
    const std::uint32_t usable = m_layout.usableSize;
    if (page < 1 || page > m_layout.pageCount || usable < kMinUsable)
        return false;
    h->base = std::size_t(page - 1) * m_layout.pageSize;
    if (h->base + m_layout.pageSize > m_file.size())
        return false;
    h->headerAt = page == 1 ? 100 : 0;
    const std::uint8_t *p = m_file.data() + h->base + h->headerAt;
    h->type = p[0];
    if (h->type != kIndexInterior && h->type != kTableInterior && h->type != kIndexLeaf && h->type != kTableLeaf)
        return false;
    const std::uint32_t headerSize = isInterior(h->type) ? 12 : 8;
    if (h->headerAt + headerSize > usable)
        return false;
    h->cellCount = be16(p + 3);
    h->pointersAt = h->headerAt + headerSize;
    const std::uint32_t pointersEnd = h->pointersAt + 2 * h->cellCount;
    if (pointersEnd > usable)
        return false;
    if (h->cellCount > 0) {
        std::uint32_t contentStart = be16(p + 5);
        if (contentStart == 0)
            contentStart = 65536;
        if (contentStart < pointersEnd || contentStart > usable)
            return false;
    }
    h->rightChild = 0;
    if (isInterior(h->type)) {
        h->rightChild = be32(p + 8);
        if (h->rightChild < 2 || h->rightChild > m_layout.pageCount)
            return false;
    }
    return true;
}

bool PageReader::cellOffset(const PageHeader &h, std::uint32_t index, std::uint32_t *offset) const
{
    if (index >= h.cellCount)
        return false;
    const std::uint32_t at = be16(m_file.data() + h.base + h.pointersAt + 2 * index);
    if (at < h.pointersAt + 2 * h.cellCount || at >= m_layout.usableSize)
        return false;
    *offset = at;
    return true;
}

bool PageReader::indexEntryCount(std::uint32_t root, std::uint64_t *count) const
{
    *count = 0;
    std::vector<bool> seen(std::size_t(m_layout.pageCount) + 1, false);
    std::vector<std::uint32_t> pending{root};
    std::vector<std::uint32_t> children;
    while (!pending.empty()) {
        const std::uint32_t page = pending.back();
        pending.pop_back();
        PageHeader h;
        if (!readHeader(page, &h) || (h.type != kIndexInterior && h.type != kIndexLeaf) || seen[page])
            return false;
        seen[page] = true;
        *count += h.cellCount;
        if (h.type == kIndexInterior) {
            if (!childPages(page, &children))
                return false;
            pending.insert(pending.end(), children.cbegin(), children.cend());
        }
    }
    return true;
}

PageKind PageReader::kind(std::uint32_t page) const
{
    PageHeader h;
    if (!readHeader(page, &h))
        return PageKind::Other;
    switch (h.type) {
    case kTableLeaf: return PageKind::TableLeaf;
    case kTableInterior: return PageKind::TableInterior;
    case kIndexLeaf: return PageKind::IndexLeaf;
    default: return PageKind::IndexInterior;
    }
}

bool PageReader::payload(const PageHeader &h, std::uint32_t at, std::uint64_t size, bool tableLeaf,
                         std::vector<std::uint8_t> *out) const
{
    const std::uint64_t usable = m_layout.usableSize;
    // No payload is longer than the pages of the file could hold.
    if (size > std::uint64_t(m_layout.pageCount) * usable)
        return false;
    const std::uint64_t maxLocal = tableLeaf ? usable - 35 : (usable - 12) * 64 / 255 - 23;
    const std::uint64_t minLocal = (usable - 12) * 32 / 255 - 23;
    std::uint64_t local = size;
    if (size > maxLocal) {
        const std::uint64_t k = minLocal + (size - minLocal) % (usable - 4);
        local = k <= maxLocal ? k : minLocal;
    }
    const bool overflows = local < size;
    if (at + local + (overflows ? 4 : 0) > usable)
        return false;
    const std::uint8_t *page = m_file.data() + h.base;
    out->assign(page + at, page + at + local);
    if (!overflows)
        return true;

    std::uint32_t next = be32(page + at + local);
    std::uint64_t remaining = size - local;
    // Every overflow page carries at least one byte, so the chain ends.
    while (remaining > 0) {
        if (next < 2 || next > m_layout.pageCount)
            return false;
        const std::size_t base = std::size_t(next - 1) * m_layout.pageSize;
        const std::uint64_t take = std::min<std::uint64_t>(remaining, usable - 4);
        const std::uint8_t *p = m_file.data() + base;
        out->insert(out->end(), p + 4, p + 4 + take);
        remaining -= take;
        next = be32(p);
    }
    return true;
}

bool PageReader::decodeRecord(std::span<const std::uint8_t> payload, Record *record)
{
    record->clear();
    std::uint64_t headerSize = 0;
    const int n = readVarint(payload, 0, &headerSize);
    if (n == 0 || headerSize < std::uint64_t(n) || headerSize > payload.size())
        return false;
    std::size_t typeAt = std::size_t(n);
    std::uint64_t contentAt = headerSize;
    while (typeAt < headerSize) {
        std::uint64_t serialType = 0;
        const int used = readVarint(payload.first(std::size_t(headerSize)), typeAt, &serialType);
        std::uint64_t size = 0;
        if (used == 0 || !contentSize(serialType, &size) || size > payload.size() - contentAt)
            return false;
        typeAt += std::size_t(used);
        const std::uint8_t *content = payload.data() + contentAt;
        Value v;
        if (serialType == 0) {
            v.kind = Value::Kind::Null;
        } else if (serialType <= 6) {
            v.kind = Value::Kind::Integer;
            v.integer = bigEndianSigned(content, size);
        } else if (serialType == 7) {
            v.kind = Value::Kind::Real;
            const std::uint64_t bits = std::uint64_t(bigEndianSigned(content, 8));
            std::memcpy(&v.real, &bits, sizeof bits);
        } else if (serialType == 8 || serialType == 9) {
            v.kind = Value::Kind::Integer;
            v.integer = serialType == 9 ? 1 : 0;
        } else {
            v.kind = serialType % 2 == 0 ? Value::Kind::Blob : Value::Kind::Text;
            v.bytes.assign(reinterpret_cast<const char *>(content), std::size_t(size));
        }
        record->push_back(std::move(v));
        contentAt += size;
    }
    return typeAt == headerSize && contentAt == payload.size();
}

bool PageReader::tableLeafCells(std::uint32_t page, std::vector<TableCell> *cells, int *undecoded) const
{
    cells->clear();
    if (undecoded)
        *undecoded = 0;
    PageHeader h;
    if (!readHeader(page, &h) || h.type != kTableLeaf)
        return false;
    const std::span<const std::uint8_t> bytes = m_file.subspan(h.base, m_layout.usableSize);
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0; i < h.cellCount; ++i) {
        std::uint32_t at = 0;
        std::uint64_t size = 0;
        std::uint64_t rowid = 0;
        int a = 0;
        int b = 0;
        TableCell cell;
        const bool ok = cellOffset(h, i, &at) && (a = readVarint(bytes, at, &size)) != 0
            && (b = readVarint(bytes, at + std::size_t(a), &rowid)) != 0
            && payload(h, at + std::uint32_t(a + b), size, true, &data) && decodeRecord(data, &cell.values);
        if (!ok) {
            if (undecoded)
                ++*undecoded;
            continue;
        }
        cell.rowid = std::int64_t(rowid);
        cells->push_back(std::move(cell));
    }
    return true;
}

bool PageReader::childPages(std::uint32_t page, std::vector<std::uint32_t> *children) const
{
    children->clear();
    PageHeader h;
    if (!readHeader(page, &h) || !isInterior(h.type))
        return false;
    for (std::uint32_t i = 0; i < h.cellCount; ++i) {
        std::uint32_t at = 0;
        if (!cellOffset(h, i, &at) || at + 4 > m_layout.usableSize)
            continue;
        const std::uint32_t child = be32(m_file.data() + h.base + at);
        if (child >= 2 && child <= m_layout.pageCount)
            children->push_back(child);
    }
    children->push_back(h.rightChild);
    return true;
}

bool PageReader::indexEntries(std::uint32_t page, std::vector<Record> *entries) const
{
    entries->clear();
    PageHeader h;
    if (!readHeader(page, &h) || (h.type != kIndexLeaf && h.type != kIndexInterior))
        return false;
    const std::span<const std::uint8_t> bytes = m_file.subspan(h.base, m_layout.usableSize);
    const std::uint32_t skip = h.type == kIndexInterior ? 4 : 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0; i < h.cellCount; ++i) {
        std::uint32_t at = 0;
        std::uint64_t size = 0;
        int a = 0;
        Record entry;
        if (cellOffset(h, i, &at) && (a = readVarint(bytes, std::size_t(at) + skip, &size)) != 0
            && payload(h, at + skip + std::uint32_t(a), size, false, &data) && decodeRecord(data, &entry))
            entries->push_back(std::move(entry));
    }
    return true;
}

std::unordered_set<std::uint32_t> PageReader::freePages() const
{
    std::unordered_set<std::uint32_t> free;
    if (m_file.size() < 100 || m_layout.usableSize < kMinUsable)
        return free;
    std::uint32_t trunk = be32(m_file.data() + 32);
    const std::uint32_t maxLeaves = m_layout.usableSize / 4 - 2;
    while (trunk >= 2 && trunk <= m_layout.pageCount && free.insert(trunk).second) {
        const std::uint8_t *p = m_file.data() + std::size_t(trunk - 1) * m_layout.pageSize;
        const std::uint32_t leaves = be32(p + 4);
        if (leaves > maxLeaves)
            break;
        for (std::uint32_t i = 0; i < leaves; ++i) {
            const std::uint32_t leaf = be32(p + 8 + 4 * i);
            if (leaf >= 2 && leaf <= m_layout.pageCount)
                free.insert(leaf);
        }
        trunk = be32(p);
    }
    return free;
}

} // namespace store::pages

#include "store/salvage/PageReader.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

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

// One value of a record from its serial type and its bytes.
Value decodeValue(std::uint64_t serialType, const std::uint8_t *content, std::uint64_t size)
{
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
    return v;
}

// The offset of the first byte that is not part of well-formed UTF-8
// (`size` when there is none).
std::size_t firstBadUtf8(const std::uint8_t *p, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t b = p[i];
        std::size_t n = 0;
        std::uint32_t min = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            n = 1;
            min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            n = 2;
            min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            n = 3;
            min = 0x10000;
        } else {
            return i;
        }
        if (i + n >= size)
            return i;
        std::uint32_t code = b & (0x3F >> n);
        for (std::size_t k = 1; k <= n; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return i;
        i += n + 1;
    }
    return size;
}

// Where each value of a decoded record lies in its payload.
std::vector<std::pair<std::size_t, std::size_t>> valueSpans(std::span<const std::uint8_t> payload)
{
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::uint64_t headerSize = 0;
    const int n = readVarint(payload, 0, &headerSize);
    if (n == 0 || headerSize > payload.size())
        return spans;
    std::size_t typeAt = std::size_t(n);
    std::uint64_t contentAt = headerSize;
    while (typeAt < headerSize) {
        std::uint64_t serialType = 0;
        std::uint64_t size = 0;
        const int used = readVarint(payload.first(std::size_t(headerSize)), typeAt, &serialType);
        if (used == 0 || !contentSize(serialType, &size))
            break;
        spans.emplace_back(std::size_t(contentAt), std::size_t(size));
        typeAt += std::size_t(used);
        contentAt += size;
    }
    return spans;
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

PageReader::Read PageReader::payload(const PageHeader &h, std::uint32_t at, std::uint64_t size, bool tableLeaf,
                                     std::vector<std::uint8_t> *out, std::vector<std::size_t> *pageStarts) const
{
    const std::uint64_t usable = m_layout.usableSize;
    // No payload is longer than the pages of the file could hold.
    if (size > std::uint64_t(m_layout.pageCount) * usable)
        return Read::None;
    const std::uint64_t maxLocal = tableLeaf ? usable - 35 : (usable - 12) * 64 / 255 - 23;
    const std::uint64_t minLocal = (usable - 12) * 32 / 255 - 23;
    std::uint64_t local = size;
    if (size > maxLocal) {
        const std::uint64_t k = minLocal + (size - minLocal) % (usable - 4);
        local = k <= maxLocal ? k : minLocal;
    }
    const bool overflows = local < size;
    if (at + local + (overflows ? 4 : 0) > usable)
        return Read::None;
    const std::uint8_t *page = m_file.data() + h.base;
    out->assign(page + at, page + at + local);
    if (pageStarts)
        pageStarts->clear();
    if (!overflows)
        return Read::Whole;

    std::uint32_t next = be32(page + at + local);
    std::uint64_t remaining = size - local;
    std::unordered_set<std::uint32_t> chain;
    // Every overflow page carries at least one byte, so the chain ends.
    while (remaining > 0) {
        // An overflow page starts with its pointer, never with the type of a
        // b-tree page; a page met twice is a loop.
        if (next < 2 || next > m_layout.pageCount || !chain.insert(next).second || kind(next) != PageKind::Other)
            return Read::Part;
        const std::size_t base = std::size_t(next - 1) * m_layout.pageSize;
        const std::uint64_t take = std::min<std::uint64_t>(remaining, usable - 4);
        const std::uint8_t *p = m_file.data() + base;
        const std::uint32_t following = be32(p);
        // The page's own pointer vouches for the page: a page whose first
        // bytes are damaged is likely damaged after them too.
        const bool last = take == remaining;
        if (last ? following != 0 : (following < 2 || following > m_layout.pageCount))
            return Read::Part;
        if (pageStarts)
            pageStarts->push_back(out->size());
        out->insert(out->end(), p + 4, p + 4 + take);
        remaining -= take;
        next = following;
    }
    return Read::Whole;
}

bool PageReader::decodeRecordPart(std::span<const std::uint8_t> part, std::uint64_t size, TableCell *cell) const
{
    Record &record = cell->values;
    record.clear();
    cell->cutColumn = -1;
    if (part.size() >= size)
        return false;
    std::uint64_t headerSize = 0;
    const int n = readVarint(part, 0, &headerSize);
    if (n == 0 || headerSize < std::uint64_t(n) || headerSize > part.size())
        return false;
    std::size_t typeAt = std::size_t(n);
    std::uint64_t contentAt = headerSize;
    while (typeAt < headerSize) {
        std::uint64_t serialType = 0;
        std::uint64_t valueSize = 0;
        const int used = readVarint(part.first(std::size_t(headerSize)), typeAt, &serialType);
        if (used == 0 || !contentSize(serialType, &valueSize) || valueSize > size - contentAt)
            return false;
        typeAt += std::size_t(used);
        Value v;
        if (valueSize == 0) {
            v = decodeValue(serialType, part.data(), 0);
        } else if (contentAt + valueSize <= part.size()) {
            v = decodeValue(serialType, part.data() + contentAt, valueSize);
        } else if (cell->cutColumn < 0 && serialType >= 13 && serialType % 2 == 1) {
            // The text up to its last whole character.
            std::size_t keep = contentAt < part.size() ? part.size() - std::size_t(contentAt) : 0;
            const std::uint8_t *text = part.data() + contentAt;
            if (m_layout.textEncoding == 1)
                keep = firstBadUtf8(text, keep);
            else
                keep -= keep % 2;
            v.kind = Value::Kind::Text;
            v.bytes.assign(reinterpret_cast<const char *>(text), keep);
            cell->cutColumn = int(record.size());
        } else {
            if (cell->cutColumn < 0)
                cell->cutColumn = int(record.size());
        }
        record.push_back(std::move(v));
        contentAt += valueSize;
    }
    return typeAt == headerSize && contentAt == size && cell->cutColumn >= 0;
}

std::size_t PageReader::soundLength(const Record &record, std::span<const std::uint8_t> payload,
                                    const std::vector<std::size_t> &pageStarts) const
{
    if (m_layout.textEncoding != 1 || pageStarts.empty())
        return payload.size();
    const auto spans = valueSpans(payload);
    for (std::size_t i = 0; i < record.size() && i < spans.size(); ++i) {
        const auto [at, length] = spans[i];
        if (record[i].kind != Value::Kind::Text || at + length <= pageStarts.front())
            continue;
        const std::size_t bad = at + firstBadUtf8(payload.data() + at, length);
        if (bad == at + length)
            continue;
        std::size_t cut = pageStarts.front();
        for (std::size_t start : pageStarts) {
            if (start <= bad)
                cut = start;
        }
        return std::max(cut, at);
    }
    return payload.size();
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
        record->push_back(decodeValue(serialType, payload.data() + contentAt, size));
        contentAt += size;
    }
    return typeAt == headerSize && contentAt == payload.size();
}

bool PageReader::tableLeafCells(std::uint32_t page, std::vector<TableCell> *cells, int *undecoded,
                                std::vector<std::int64_t> *undecodedRowids) const
{
    cells->clear();
    if (undecoded)
        *undecoded = 0;
    if (undecodedRowids)
        undecodedRowids->clear();
    PageHeader h;
    if (!readHeader(page, &h) || h.type != kTableLeaf)
        return false;
    const std::span<const std::uint8_t> bytes = m_file.subspan(h.base, m_layout.usableSize);
    std::vector<std::uint8_t> data;
    std::vector<std::size_t> pageStarts;
    for (std::uint32_t i = 0; i < h.cellCount; ++i) {
        std::uint32_t at = 0;
        std::uint64_t size = 0;
        std::uint64_t rowid = 0;
        int a = 0;
        int b = 0;
        TableCell cell;
        bool ok = cellOffset(h, i, &at) && (a = readVarint(bytes, at, &size)) != 0
            && (b = readVarint(bytes, at + std::size_t(a), &rowid)) != 0;
        if (ok) {
            const Read read = payload(h, at + std::uint32_t(a + b), size, true, &data, &pageStarts);
            ok = read == Read::Whole && decodeRecord(data, &cell.values);
            if (ok) {
                // Text that stops being text on an overflow page: that page is damaged.
                const std::size_t sound = soundLength(cell.values, data, pageStarts);
                if (sound < data.size())
                    ok = decodeRecordPart(std::span<const std::uint8_t>(data).first(sound), size, &cell);
            } else if (read != Read::None) {
                ok = decodeRecordPart(data, size, &cell);
            }
            if (!ok && undecodedRowids)
                undecodedRowids->push_back(std::int64_t(rowid));
        }
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

bool PageReader::tableChildren(std::uint32_t page, std::vector<ChildCell> *cells, std::uint32_t *rightChild) const
{
    cells->clear();
    PageHeader h;
    if (!readHeader(page, &h) || h.type != kTableInterior)
        return false;
    const std::span<const std::uint8_t> bytes = m_file.subspan(h.base, m_layout.usableSize);
    for (std::uint32_t i = 0; i < h.cellCount; ++i) {
        ChildCell cell;
        std::uint32_t at = 0;
        std::uint64_t key = 0;
        if (cellOffset(h, i, &at) && at + 4 < m_layout.usableSize && readVarint(bytes, at + 4, &key) != 0) {
            cell.child = be32(bytes.data() + at);
            cell.key = std::int64_t(key);
            cell.readable = cell.child >= 2 && cell.child <= m_layout.pageCount;
        }
        cells->push_back(cell);
    }
    *rightChild = h.rightChild;
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
            && payload(h, at + skip + std::uint32_t(a), size, false, &data) == Read::Whole
            && decodeRecord(data, &entry))
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

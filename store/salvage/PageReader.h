#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

namespace store::pages {

// One value of a stored record, as the file holds it.
struct Value {
    enum class Kind : std::uint8_t { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes; // text (in the file's encoding) or blob

    bool operator==(const Value &other) const = default;
};
using Record = std::vector<Value>;

// A row of a table as one leaf page holds it.
struct TableCell {
    std::int64_t rowid = 0;
    Record values;
    // A value read only in part: its overflow chain is damaged after that
    // part. The values after it are null. -1 when every value is whole.
    int cutColumn = -1;
};

enum class PageKind { Other, TableInterior, TableLeaf, IndexInterior, IndexLeaf };

// How the file is laid out, from its header where the header can be
// believed, otherwise from what the pages themselves look like.
struct Layout {
    std::uint32_t pageSize = 0;
    std::uint32_t usableSize = 0;
    std::uint32_t pageCount = 0; // whole pages in the file (or fewer, as the header says)
    int textEncoding = 1;        // 1 UTF-8, 2 UTF-16le, 3 UTF-16be
    bool headerReadable = false; // the 16 bytes of the magic are there
};

// Reads the b-tree pages of an SQLite file straight from its bytes, without
// the engine, so that the rows of pages the engine cannot reach (under a
// damaged interior page, a damaged top page or schema) can still be read.
// The bytes may be anything: every offset, length and page number is
// checked before use, overflow chains are bounded, and a cell that does not
// decode exactly is left out rather than guessed at.
class PageReader
{
public:
    explicit PageReader(std::span<const std::uint8_t> file);

    const Layout &layout() const { return m_layout; }

    // The kind of b-tree page the page's header claims, once the header and
    // its cell pointers hold together; Other for anything else.
    PageKind kind(std::uint32_t page) const;

    // The rows of a table leaf page that decode whole, or whose overflow
    // chain is damaged after a readable first part (see TableCell). Returns
    // false when the page is not a table leaf; `undecoded` counts the cells
    // left out, and `undecodedRowids`, when given, gets the ids of those
    // whose id could still be read.
    bool tableLeafCells(std::uint32_t page, std::vector<TableCell> *cells, int *undecoded = nullptr,
                        std::vector<std::int64_t> *undecodedRowids = nullptr) const;

    // One cell of a table interior page: the child holds the rows whose ids
    // are at most `key`. `readable` is false when the cell could not be read.
    struct ChildCell {
        std::uint32_t child = 0;
        std::int64_t key = 0;
        bool readable = false;
    };
    // The cells of a table interior page, and its right child (the rows
    // above every key). False when the page is no table interior page.
    bool tableChildren(std::uint32_t page, std::vector<ChildCell> *cells, std::uint32_t *rightChild) const;

    // The pages an interior page (table or index) points to.
    bool childPages(std::uint32_t page, std::vector<std::uint32_t> *children) const;

    // The entries of an index page, leaf or interior: the indexed values
    // followed by the row id.
    bool indexEntries(std::uint32_t page, std::vector<Record> *entries) const;

    // The number of entries of the index b-tree whose top page is `root`:
    // the cells of all its pages, interior ones included, since an interior
    // page of an index holds entries of its own. False when a page the tree
    // reaches is not an index page, or is reached twice.
    bool indexEntryCount(std::uint32_t root, std::uint64_t *count) const;

    // The pages on the file's list of free pages: they hold old contents
    // that are no longer part of any table. Empty when the list cannot be
    // read.
    std::unordered_set<std::uint32_t> freePages() const;

    // Decodes a record (header of serial types, then the values). False
    // unless the header and the values account for every byte exactly.
    static bool decodeRecord(std::span<const std::uint8_t> payload, Record *record);

private:
    struct PageHeader {
        std::uint8_t type = 0;
        std::size_t base = 0;       // offset of the page in the file
        std::uint32_t headerAt = 0; // offset of the b-tree header within the page
        std::uint32_t cellCount = 0;
        std::uint32_t pointersAt = 0; // offset of the cell pointer array within the page
        std::uint32_t rightChild = 0;
    };

    bool readHeader(std::uint32_t page, PageHeader *header) const;
    bool cellOffset(const PageHeader &header, std::uint32_t index, std::uint32_t *offset) const;
    // The payload of a cell whose payload starts at `at` in the page: its
    // local part and, when longer, its overflow chain. An overflow page is
    // taken only when its own pointer to the next page holds (zero on the
    // last page); a chain that breaks gives the part before the break.
    enum class Read { Whole, Part, None };
    Read payload(const PageHeader &header, std::uint32_t at, std::uint64_t size, bool tableLeaf,
                 std::vector<std::uint8_t> *out, std::vector<std::size_t> *pageStarts = nullptr) const;
    // A record of `size` bytes of which only the first part (`part`) could
    // be read: the values within it, the one it cuts short (a text, up to
    // its last whole character), and null for the rest.
    bool decodeRecordPart(std::span<const std::uint8_t> part, std::uint64_t size, TableCell *cell) const;
    // Where a text value that runs onto overflow pages stops being text of
    // the file's encoding: the start of the page the first bad byte is on.
    // The payload's size when every text is sound.
    std::size_t soundLength(const Record &record, std::span<const std::uint8_t> payload,
                            const std::vector<std::size_t> &pageStarts) const;
    PageReader(std::span<const std::uint8_t> file, const Layout &layout);
    void detectLayout();
    int plausiblePages(std::uint32_t pageSize, std::uint32_t limit) const;

    std::span<const std::uint8_t> m_file;
    Layout m_layout;
};

// Reads a variable-length integer of the file format; returns the bytes used,
// 0 when it runs past the end.
int readVarint(std::span<const std::uint8_t> bytes, std::size_t at, std::uint64_t *value);

} // namespace store::pages

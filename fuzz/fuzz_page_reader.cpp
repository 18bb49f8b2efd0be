// Any bytes as a damaged database file: the page reader and the salvage
// built on it read what they can and never read outside the bytes, loop
// forever or leak, whatever the pages claim.
#include "store/salvage/FileSalvage.h"
#include "store/salvage/PageReader.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    store::pages::PageReader reader(bytes);
    const store::pages::Layout &layout = reader.layout();
    if (layout.pageCount > 0
        && (layout.pageSize < 512 || layout.pageSize > 65536 || layout.usableSize > layout.pageSize))
        std::abort();

    std::vector<store::pages::TableCell> cells;
    std::vector<store::pages::Record> entries;
    std::vector<std::uint32_t> children;
    for (std::uint32_t page = 1; page <= layout.pageCount && page <= 64; ++page) {
        reader.tableLeafCells(page, &cells);
        reader.indexEntries(page, &entries);
        if (reader.childPages(page, &children)) {
            for (std::uint32_t child : children) {
                if (child < 2 || child > layout.pageCount)
                    std::abort();
            }
        }
    }
    reader.freePages();
    store::pages::Record record;
    store::pages::PageReader::decodeRecord(bytes, &record);

    store::FileSalvage salvage;
    store::EngineError error;
    if (salvage.read(bytes, &error)) {
        std::size_t rows = 0;
        salvage.copyRows(
            [&](int table, const store::pages::TableCell &row, store::EngineError *) {
                if (table < 0 || table >= salvage.tables().size())
                    std::abort();
                rows += row.values.size();
                return true;
            },
            &error);
    }
    return 0;
}

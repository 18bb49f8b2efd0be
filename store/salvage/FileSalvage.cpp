#include "store/salvage/FileSalvage.h"

#include "store/Schema.h"
#include "store/Statement.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace store {

using pages::PageKind;
using pages::Record;
using pages::TableCell;
using pages::Value;

namespace {

std::uint64_t mix(std::uint64_t h, std::uint64_t v)
{
    h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    return h * 0x100000001b3ULL;
}

bool isSchemaRow(const Record &r)
{
    if (r.size() != 5 || r[0].kind != Value::Kind::Text || r[1].kind != Value::Kind::Text
        || r[2].kind != Value::Kind::Text)
        return false;
    if (r[3].kind != Value::Kind::Integer && r[3].kind != Value::Kind::Null)
        return false;
    if (r[4].kind != Value::Kind::Text && r[4].kind != Value::Kind::Null)
        return false;
    // The type is stored as ASCII in every encoding's own form; compare loosely.
    std::string type;
    for (char c : r[0].bytes) {
        if (c != '\0')
            type += c;
    }
    return type == "table" || type == "index" || type == "view" || type == "trigger";
}

bool isTextAffinity(const QString &declared)
{
    const QString t = declared.toUpper();
    return !t.contains(QLatin1String("INT"))
        && (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB"))
            || t.contains(QLatin1String("TEXT")));
}

} // namespace

std::uint64_t recordHash(const Record &values)
{
    std::uint64_t h = 0xcbf29ce484222325ULL ^ values.size();
    for (const Value &v : values) {
        h = mix(h, std::uint64_t(v.kind));
        switch (v.kind) {
        case Value::Kind::Null: break;
        case Value::Kind::Integer: h = mix(h, std::uint64_t(v.integer)); break;
        case Value::Kind::Real: {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &v.real, sizeof bits);
            h = mix(h, bits);
            break;
        }
        case Value::Kind::Text:
        case Value::Kind::Blob:
            for (char c : v.bytes)
                h = (h ^ std::uint8_t(c)) * 0x100000001b3ULL;
            h = mix(h, v.bytes.size());
            break;
        }
    }
    return h;
}

FileSalvage::FileSalvage() = default;

FileSalvage::~FileSalvage()
{
    if (m_model)
        sqlite3_close_v2(m_model);
}

QString FileSalvage::text(const Value &value, int encoding)
{
    if (encoding == 1)
        return QString::fromUtf8(value.bytes.data(), qsizetype(value.bytes.size()));
    std::u16string units(value.bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto a = std::uint8_t(value.bytes[2 * i]);
        const auto b = std::uint8_t(value.bytes[2 * i + 1]);
        units[i] = encoding == 2 ? char16_t(a | (b << 8)) : char16_t((a << 8) | b);
    }
    return QString::fromUtf16(units.data(), qsizetype(units.size()));
}

bool FileSalvage::open(const QString &path, EngineError *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(error, Err::CannotOpen, QStringLiteral("Could not read '%1': %2").arg(path, m_file.errorString()));
    const qint64 size = m_file.size();
    const uchar *mapped = size > 0 ? m_file.map(0, size) : nullptr;
    if (!mapped)
        return fail(error, Err::UnrecognizedFormat, QStringLiteral("The file '%1' holds no database pages.").arg(path));
    return read(std::span<const std::uint8_t>(mapped, std::size_t(size)), error);
}

bool FileSalvage::read(std::span<const std::uint8_t> bytes, EngineError *error)
{
    m_bytes = bytes;
    m_reader = std::make_unique<pages::PageReader>(m_bytes);
    m_free = m_reader->freePages();

    const QList<SchemaRow> rows = readSchemaRows();
    if (!buildSchema(rows, error))
        return false;
    readIndexes(rows);
    assignPages();
    return true;
}

void FileSalvage::walkTree(std::uint32_t root, std::vector<std::uint32_t> *reached) const
{
    reached->clear();
    std::unordered_set<std::uint32_t> seen;
    std::vector<std::uint32_t> stack{root};
    std::vector<std::uint32_t> children;
    while (!stack.empty()) {
        const std::uint32_t page = stack.back();
        stack.pop_back();
        if (!seen.insert(page).second || m_free.count(page))
            continue;
        const PageKind kind = m_reader->kind(page);
        if (kind == PageKind::Other)
            continue;
        reached->push_back(page);
        if (m_reader->childPages(page, &children))
            stack.insert(stack.end(), children.begin(), children.end());
    }
}

void FileSalvage::walkTableTree(std::uint32_t root, std::vector<std::uint32_t> *reached, KeyRanges *holes) const
{
    reached->clear();
    holes->clear();
    struct Part {
        std::uint32_t page;
        std::int64_t low; // exclusive
        std::int64_t high;
    };
    std::unordered_set<std::uint32_t> seen;
    std::vector<Part> stack{{root, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}};
    std::vector<pages::PageReader::ChildCell> cells;
    while (!stack.empty()) {
        const Part part = stack.back();
        stack.pop_back();
        const PageKind kind = part.page == 0 ? PageKind::Other : m_reader->kind(part.page);
        if ((kind != PageKind::TableLeaf && kind != PageKind::TableInterior) || m_free.count(part.page)
            || !seen.insert(part.page).second) {
            holes->emplace_back(part.low, part.high);
            continue;
        }
        reached->push_back(part.page);
        std::uint32_t right = 0;
        if (kind == PageKind::TableLeaf || !m_reader->tableChildren(part.page, &cells, &right))
            continue;
        // Each child holds the ids above the key before it, up to its own key.
        bool sound = true;
        std::int64_t low = part.low;
        for (const auto &cell : cells) {
            if (!cell.readable || cell.key <= low || cell.key > part.high) {
                sound = false;
                break;
            }
            low = cell.key;
        }
        if (!sound) {
            // Where the unreadable cell's rows lie is not known: the page's whole range is.
            holes->emplace_back(part.low, part.high);
            for (const auto &cell : cells) {
                if (cell.readable)
                    stack.push_back({cell.child, part.low, part.high});
            }
            stack.push_back({right, part.low, part.high});
            continue;
        }
        low = part.low;
        for (const auto &cell : cells) {
            stack.push_back({cell.child, low, cell.key});
            low = cell.key;
        }
        stack.push_back({right, low, part.high});
    }
}

bool FileSalvage::indexWhole(std::uint32_t root) const
{
    std::uint64_t count = 0;
    if (root == 0 || !m_reader->indexEntryCount(root, &count))
        return false;
    std::vector<std::uint32_t> reached;
    std::vector<Record> entries;
    std::uint64_t decoded = 0;
    walkTree(root, &reached);
    for (std::uint32_t page : reached) {
        if (m_reader->indexEntries(page, &entries))
            decoded += entries.size();
    }
    return decoded == count;
}

int FileSalvage::outsideTableFor(int table)
{
    for (int t = 0; t < m_tables.size(); ++t) {
        if (m_tables.at(t).outsideOf == table)
            return t;
    }
    const SalvageTable &source = m_tables.at(table);
    SalvageTable side;
    const QString base = source.name + QStringLiteral(" (found outside the table)");
    side.name = base;
    for (int n = 2;
         std::any_of(m_tables.cbegin(), m_tables.cend(),
                     [&side](const SalvageTable &t) { return t.name.compare(side.name, Qt::CaseInsensitive) == 0; });
         ++n)
        side.name = QStringLiteral("%1 %2").arg(base).arg(n);
    side.columns = source.columns;
    side.textColumns = QList<bool>(source.columns.size(), false);
    side.rowidColumn = source.rowidColumn;
    side.outsideOf = table;
    // Untyped columns take the values as they were; no rule of the table
    // applies to rows it may never have held.
    QStringList columns;
    for (int i = 0; i < side.columns.size(); ++i)
        columns << quoteIdentifier(side.columns.at(i))
                + (i == side.rowidColumn ? QStringLiteral(" INTEGER PRIMARY KEY") : QString());
    m_tableSql
        << QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteIdentifier(side.name), columns.join(QStringLiteral(", ")));
    m_tables << side;
    m_indexColumns << QList<QList<int>>();
    m_holes.emplace_back();
    return int(m_tables.size() - 1);
}

QList<FileSalvage::SchemaRow> FileSalvage::readSchemaRows()
{
    const int encoding = m_reader->layout().textEncoding;
    QList<SchemaRow> rows;
    QHash<QString, int> byName;
    auto take = [&](const std::vector<TableCell> &cells) {
        for (const TableCell &cell : cells) {
            const Record &r = cell.values;
            if (!isSchemaRow(r))
                continue;
            SchemaRow row{text(r[0], encoding), text(r[1], encoding), text(r[2], encoding),
                          r[4].kind == Value::Kind::Text ? text(r[4], encoding) : QString(),
                          r[3].kind == Value::Kind::Integer && r[3].integer > 0 && r[3].integer <= 0xFFFFFFFFLL
                              ? std::uint32_t(r[3].integer)
                              : 0};
            const QString key = row.name.toLower();
            if (byName.contains(key))
                continue;
            byName.insert(key, int(rows.size()));
            rows << row;
        }
    };

    std::vector<std::uint32_t> reached;
    std::vector<TableCell> cells;
    walkTree(1, &reached);
    for (std::uint32_t page : reached) {
        if (m_reader->tableLeafCells(page, &cells))
            take(cells);
    }
    const bool anyTable =
        std::any_of(rows.cbegin(), rows.cend(), [](const SchemaRow &r) { return r.type == QLatin1String("table"); });
    m_schemaReadable = anyTable;
    if (anyTable)
        return rows;

    // The list of tables is not where it belongs: look for its pages anywhere.
    for (std::uint32_t page = 2; page <= m_reader->layout().pageCount; ++page) {
        if (m_free.count(page) || !m_reader->tableLeafCells(page, &cells) || cells.empty())
            continue;
        if (std::all_of(cells.cbegin(), cells.cend(), [](const TableCell &c) { return isSchemaRow(c.values); }))
            take(cells);
    }
    return rows;
}

bool FileSalvage::buildSchema(const QList<SchemaRow> &rows, EngineError *error)
{
    if (sqlite3_open_v2(":memory:", &m_model, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return fail(error, Err::Unexpected, QStringLiteral("Could not open a database in memory."));
    // The statements come from a damaged file: only one statement each, only
    // one that creates something, and none that runs for long.
    sqlite3_progress_handler(
        m_model, 1000, [](void *steps) { return ++*static_cast<int *>(steps) > 10000 ? 1 : 0; }, &m_modelSteps);
    auto create = [this](const QString &sql) {
        m_modelSteps = 0;
        const QString text = sql.trimmed();
        return text.startsWith(QLatin1String("CREATE"), Qt::CaseInsensitive)
            && !text.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive)
            && execSql(m_model, text, nullptr);
    };
    QHash<QString, std::uint32_t> roots;
    auto isInternal = [](const QString &name) {
        return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
    };
    // Tables first, then what is built on them: what the damaged schema
    // declares. A statement the engine no longer accepts (a damaged text) is
    // left out.
    // The engine's own tables (sequences, statistics) are rebuilt by the
    // engine; their pages are no one's rows.
    for (const SchemaRow &row : rows) {
        if (row.type == QLatin1String("table") && isInternal(row.name) && row.root != 0)
            m_internalRoots.push_back(row.root);
    }
    for (const QString &type :
         {QStringLiteral("table"), QStringLiteral("index"), QStringLiteral("view"), QStringLiteral("trigger")}) {
        for (const SchemaRow &row : rows) {
            if (row.type != type || isInternal(row.name) || row.sql.isEmpty())
                continue;
            if (create(row.sql) && type == QLatin1String("table"))
                roots.insert(row.name.toLower(), row.root);
        }
    }
    // What the program needs and the damaged file no longer declares.
    for (const QString &sql : Schema::createStatements()) {
        if (sql.startsWith(QLatin1String("CREATE"), Qt::CaseInsensitive))
            create(sql);
    }

    Statement tables(m_model,
                     QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'table' "
                                    "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"));
    while (tables.step()) {
        SalvageTable t;
        t.name = tables.value(0).toString();
        t.root = roots.value(t.name.toLower(), 0);
        Statement info(m_model, QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"));
        info.bind(1, t.name);
        int keys = 0;
        int integerKey = -1;
        while (info.step()) {
            const QString type = info.value(1).toString();
            if (info.int64(2) > 0) {
                ++keys;
                if (type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                    integerKey = int(t.columns.size());
            }
            t.columns << info.value(0).toString();
            t.textColumns << isTextAffinity(type);
        }
        const QString sql = tables.value(1).toString();
        if (keys == 1 && !sql.contains(QLatin1String("WITHOUT ROWID"), Qt::CaseInsensitive))
            t.rowidColumn = integerKey;
        m_tables << t;
        m_tableSql << sql;
    }
    if (tables.error().isError()) {
        if (error)
            *error = tables.error();
        return false;
    }

    // The engine keeps each statement as one statement of its own.
    Statement later(m_model,
                    QStringLiteral("SELECT sql FROM sqlite_master WHERE type IN ('index', 'view', 'trigger') "
                                   "AND sql IS NOT NULL ORDER BY CASE type WHEN 'index' THEN 0 WHEN 'view' "
                                   "THEN 1 ELSE 2 END, rowid"));
    while (later.step())
        m_laterSql << later.value(0).toString();
    return true;
}

void FileSalvage::readIndexes(const QList<SchemaRow> &rows)
{
    std::vector<Record> entries;
    for (std::uint32_t page = 1; page <= m_reader->layout().pageCount; ++page) {
        if (m_free.count(page) || !m_reader->indexEntries(page, &entries))
            continue;
        for (const Record &entry : entries)
            m_indexEntries.insert(recordHash(entry));
    }

    m_indexColumns.clear();
    for (SalvageTable &t : m_tables) {
        QList<QList<int>> positions;
        Statement list(m_model, QStringLiteral("SELECT name FROM pragma_index_list(?) WHERE partial = 0"));
        list.bind(1, t.name);
        while (list.step()) {
            Statement info(m_model, QStringLiteral("SELECT cid FROM pragma_index_info(?) ORDER BY seqno"));
            info.bind(1, list.value(0).toString());
            QList<int> columns;
            bool plain = true;
            while (info.step()) {
                const qint64 cid = info.int64(0);
                if (cid < 0 || cid >= t.columns.size())
                    plain = false;
                else
                    columns << int(cid);
            }
            if (plain && !columns.isEmpty())
                positions << columns;
        }
        m_indexColumns << positions;

        // The ids the table's own indexes name tell which rows were there;
        // all of them, when one of its indexes is whole.
        std::vector<std::uint32_t> reached;
        t.everyRowKnown = false;
        for (const SchemaRow &row : rows) {
            if (row.type != QLatin1String("index") || row.root == 0
                || row.table.compare(t.name, Qt::CaseInsensitive) != 0)
                continue;
            if (indexWhole(row.root))
                t.everyRowKnown = true;
            walkTree(row.root, &reached);
            for (std::uint32_t page : reached) {
                if (!m_reader->indexEntries(page, &entries))
                    continue;
                for (const Record &entry : entries) {
                    if (!entry.empty() && entry.back().kind == Value::Kind::Integer)
                        t.namedRowids.insert(entry.back().integer);
                }
            }
        }
    }
}

bool FileSalvage::fits(const SalvageTable &table, const std::vector<TableCell> &cells, bool exact) const
{
    const std::size_t columns = std::size_t(table.columns.size());
    for (const TableCell &cell : cells) {
        const std::size_t n = cell.values.size();
        if (exact ? n != columns : (n == 0 || n > columns))
            return false;
        for (std::size_t i = 0; i < n; ++i) {
            const Value::Kind kind = cell.values[i].kind;
            if (table.textColumns.at(qsizetype(i)) && (kind == Value::Kind::Integer || kind == Value::Kind::Real))
                return false;
            if (int(i) == table.rowidColumn && kind != Value::Kind::Null)
                return false;
        }
    }
    return true;
}

int FileSalvage::indexEvidence(int table, const std::vector<TableCell> &cells) const
{
    int named = 0;
    for (const TableCell &cell : cells) {
        for (const QList<int> &columns : m_indexColumns.at(table)) {
            Record entry;
            for (int c : columns)
                entry.push_back(std::size_t(c) < cell.values.size() ? cell.values[std::size_t(c)] : Value());
            entry.push_back(Value{Value::Kind::Integer, cell.rowid, 0, {}});
            if (m_indexEntries.count(recordHash(entry))) {
                ++named;
                break;
            }
        }
    }
    return named;
}

void FileSalvage::assignPages()
{
    std::unordered_set<std::uint32_t> placed;
    std::vector<std::uint32_t> reached;
    std::vector<TableCell> cells;
    std::vector<std::int64_t> unreadIds;
    walkTree(1, &reached);
    placed.insert(reached.begin(), reached.end());
    for (std::uint32_t root : m_internalRoots) {
        walkTree(root, &reached);
        placed.insert(reached.begin(), reached.end());
    }

    const int tableCount = int(m_tables.size());
    m_holes.assign(std::size_t(tableCount), KeyRanges());
    for (int t = 0; t < tableCount; ++t) {
        SalvageTable &table = m_tables[t];
        walkTableTree(table.root, &reached, &m_holes[std::size_t(t)]);
        if (m_holes[std::size_t(t)].empty())
            table.everyRowKnown = true;
        for (std::uint32_t page : reached) {
            if (placed.count(page) || !m_reader->tableLeafCells(page, &cells, nullptr, &unreadIds))
                continue;
            if (cells.empty()) {
                placed.insert(page);
                table.namedRowids.insert(unreadIds.begin(), unreadIds.end());
            } else if (fits(table, cells, false)) {
                placed.insert(page);
                m_pageOwners.emplace_back(page, t);
                table.namedRowids.insert(unreadIds.begin(), unreadIds.end());
            }
        }
    }

    // Leaf pages no tree leads to any more.
    std::vector<std::vector<bool>> holeFilled(m_holes.size());
    for (int t = 0; t < tableCount; ++t)
        holeFilled[std::size_t(t)].assign(m_holes[std::size_t(t)].size(), false);
    for (std::uint32_t page = 1; page <= m_reader->layout().pageCount; ++page) {
        if (placed.count(page) || m_free.count(page) || !m_reader->tableLeafCells(page, &cells, nullptr, &unreadIds)
            || cells.empty())
            continue;
        if (std::all_of(cells.cbegin(), cells.cend(), [](const TableCell &c) { return isSchemaRow(c.values); }))
            continue;
        QList<int> candidates;
        for (bool exact : {true, false}) {
            for (int t = 0; t < tableCount; ++t) {
                if (fits(m_tables.at(t), cells, exact))
                    candidates << t;
            }
            if (!candidates.isEmpty())
                break;
        }
        int owner = candidates.size() == 1 ? candidates.first() : -1;
        if (candidates.size() > 1) {
            int best = 0;
            for (int t : std::as_const(candidates)) {
                const int score = indexEvidence(t, cells);
                if (score > best) {
                    best = score;
                    owner = t;
                } else if (score == best) {
                    owner = -1;
                }
            }
        }
        if (owner < 0) {
            m_unmatchedRows += qint64(cells.size());
            continue;
        }
        // The page is the table's only where its tree has a gap for these ids.
        const KeyRanges &holes = m_holes[std::size_t(owner)];
        std::vector<bool> &filled = holeFilled[std::size_t(owner)];
        bool inGap = true;
        std::vector<std::size_t> gaps;
        for (const TableCell &cell : cells) {
            bool found = false;
            for (std::size_t h = 0; h < holes.size(); ++h) {
                if (cell.rowid > holes[h].first && cell.rowid <= holes[h].second) {
                    found = true;
                    gaps.push_back(h);
                }
            }
            if (!found) {
                inGap = false;
                break;
            }
        }
        if (inGap) {
            for (std::size_t h : gaps)
                filled[h] = true;
            m_pageOwners.emplace_back(page, owner);
            m_tables[owner].namedRowids.insert(unreadIds.begin(), unreadIds.end());
        } else {
            m_pageOwners.emplace_back(page, outsideTableFor(owner));
        }
    }
    // The whole range is what an unreadable top page leaves: the table may
    // have been empty.
    const std::pair<std::int64_t, std::int64_t> everything{std::numeric_limits<std::int64_t>::min(),
                                                           std::numeric_limits<std::int64_t>::max()};
    for (int t = 0; t < tableCount; ++t) {
        for (std::size_t h = 0; h < m_holes[std::size_t(t)].size(); ++h) {
            if (!holeFilled[std::size_t(t)][h] && m_holes[std::size_t(t)][h] != everything)
                m_tables[t].unreadParts.push_back(m_holes[std::size_t(t)][h]);
        }
    }
}

bool FileSalvage::copyRows(const RowSink &sink, EngineError *error) const
{
    std::vector<TableCell> cells;
    for (const auto &[page, table] : m_pageOwners) {
        if (!m_reader->tableLeafCells(page, &cells))
            continue;
        for (const TableCell &cell : cells) {
            if (!sink(table, cell, error))
                return false;
        }
    }
    return true;
}

} // namespace store

#pragma once

#include <QString>
#include <QTemporaryDir>

namespace bench {

// A delivered database with `rows` customers of varied contents, built once
// per size and kept in the system's temporary folder between runs.
QString customerDatabase(int rows);

// A program folder whose database is the benchmark table of `rows`
// customers (linked, not copied), made the program's folder while it lives.
struct BenchFolder {
    explicit BenchFolder(int rows);
    QTemporaryDir dir;
};

// The process's resident memory in MB.
double residentMB();

} // namespace bench

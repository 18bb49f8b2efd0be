#pragma once

#include <QString>

namespace bench {

// A delivered database with `rows` customers of varied contents, built once
// per size and kept in the system's temporary folder between runs.
QString customerDatabase(int rows);

} // namespace bench

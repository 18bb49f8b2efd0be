#pragma once

struct sqlite3;

namespace store {

// Registers the functions and collations that translated statements use on
// one connection. They live on the connection, never in the file's schema,
// so the stock sqlite3 shell still reads the file.
//   COLLATE vt_text        texts in the dialect's order: every letter without
//                          regard to case, trailing blanks ignored
//   vt_like(text, pattern) 1 when the whole text matches the dialect's LIKE
//                          pattern without regard to case, else 0; NULL for NULL
//   vt_datepart(interval, date)  DatePart's "m", "d", "yyyy", "y" or "ww" of a
//                          stored date; NULL for NULL or a text that is no date
//   vt_fold(text)          the text case-folded for every letter
bool registerVantrelFunctions(sqlite3 *db);

} // namespace store

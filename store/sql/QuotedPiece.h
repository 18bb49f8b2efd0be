#pragma once

#include <QString>
#include <QStringView>

namespace store {

// A piece of a statement or formula as an error message quotes it: in
// apostrophes, control characters written as \xNN, cut after 60 characters
// with "...". Both languages quote alike; their lexers stay separate.
QString quotedPiece(QStringView piece);
// The piece of `text` at a position (of a token, say), as above; a length
// past the end stops at the end.
QString quotedPiece(QStringView text, qsizetype position, qsizetype length);

} // namespace store

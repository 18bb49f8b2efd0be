#pragma once

#include <QString>
#include <QStringView>

namespace store {

// A piece of a statement or formula as an error message quotes it: in
// apostrophes, control characters written as \xNN, cut after 60 characters
// with "...". Both languages quote alike; their lexers stay separate.
QString quotedPiece(QStringView piece);

} // namespace store

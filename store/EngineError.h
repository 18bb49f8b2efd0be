#pragma once

#include <QMetaType>
#include <QString>

namespace store {

// A failure of the database engine: its number and the text the operator sees.
struct EngineError {
    int number = 0;
    QString text;

    bool isError() const { return number != 0; }
    void clear()
    {
        number = 0;
        text.clear();
    }
    QString toString() const { return QStringLiteral("%1: %2").arg(number).arg(text); }
};

// The numbers follow the original engine's where one fits, so that an
// operator's manual or a support call can still name them.
namespace Err {
constexpr int Unexpected = 3000;
constexpr int NoCurrentRecord = 3021;
constexpr int UpdateWithoutEdit = 3020;
constexpr int FileNotFound = 3024;
constexpr int ReadOnly = 3027;
constexpr int CannotOpen = 3051;
constexpr int SyntaxError = 3075;
constexpr int FieldTooSmall = 3163;
constexpr int RecordDeleted = 3167;
constexpr int FileExists = 3204;
constexpr int InvalidOperation = 3219;
constexpr int ItemNotFound = 3265;
constexpr int Locked = 3260;
constexpr int UnrecognizedFormat = 3343;
constexpr int NumericOverflow = 3349;
constexpr int TypeConversion = 3421;
constexpr int TypeMismatch = 3464;
constexpr int DiskFull = 3035;
constexpr int Corrupt = 3049;
constexpr int WriteConflict = 3197;
} // namespace Err

// What the operator reads whenever a change meets a read-only database.
inline QString readOnlyText()
{
    return QStringLiteral("The database is read-only: changes cannot be saved.");
}

// What the operator reads when another desk saved the customer first.
inline QString writeConflictText()
{
    return QStringLiteral("This customer was changed at another desk since you started editing it.");
}

inline bool fail(EngineError *out, int number, const QString &text)
{
    if (out) {
        out->number = number;
        out->text = text;
    }
    return false;
}

} // namespace store

Q_DECLARE_METATYPE(store::EngineError)

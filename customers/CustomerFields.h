#pragma once

#include <QList>
#include <QString>

namespace customers {

// How a field of the record window is entered.
enum class Entry {
    Masked,   // masked entry field (TDBMask)
    Date,     // date field bound to a date (TDBDate)
    TextDate, // date field bound to a text field (the birthdate)
    Text,     // text box, up to 50 characters (txtFields)
    Memo,     // text box of several lines, no limit (txtFields)
    Check,    // check box (chkFields)
};

// The frames of the record window.
enum class Frame { Identification, Dates, Locker, Personal, Work, Leagues };

// One field of the record window: its control, the field it is bound to,
// how it is entered, its caption (empty for a further address line) and
// prompt, and where it sits in its frame (row and column of that frame's
// grid).
struct CustomerField {
    QString control; // objectName: TDBMask13, TDBDate1, txtFields_0, chkFields_0 ...
    QString field;
    Entry entry;
    QString mask;
    QString caption;
    QString prompt;
    Frame frame;
    int row;
    int column;
    QString accessibleName; // for a field without a caption of its own
};

// Every field of the record window, in tab order (entry fields first, then
// the check boxes). Text boxes and check boxes are the control arrays
// txtFields and chkFields, numbered in this order.
const QList<CustomerField> &customerFields();

struct FrameInfo {
    Frame frame;
    QString objectName;
    QString caption;
    QString tooltip;
};
const QList<FrameInfo> &customerFrames();

} // namespace customers

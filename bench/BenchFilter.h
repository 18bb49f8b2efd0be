#pragma once

#include "filter/frmFindWindow.h"

#include <QComboBox>
#include <QLineEdit>

namespace bench {

// The statement the filter below builds.
inline const QString kTwoRowFilter = QStringLiteral(
    "Select Information.* From Information Where [City] = 'SPRINGFIELD' AND [KeyDeposit] > 10 ORDER BY [LastName] ASC");

// Fills the filter window as the operator would: City is SPRINGFIELD and
// KeyDeposit is greater than 10, sorted by LastName.
inline void fillTwoRowFilter(filter::frmFindWindow &find)
{
    auto choose = [&find](const char *name, const QString &text) {
        auto *list = find.findChild<QComboBox *>(QLatin1String(name));
        const int i = list->findText(text);
        list->setCurrentIndex(i);
        emit list->activated(i);
    };
    choose("Field_0", QStringLiteral("City"));
    find.findChild<QLineEdit *>(QStringLiteral("Criteria_0"))->setText(QStringLiteral("SPRINGFIELD"));
    choose("Condition_0", QStringLiteral("And"));
    choose("Field_1", QStringLiteral("KeyDeposit"));
    choose("Operator_1", QStringLiteral("Is Greater Than"));
    find.findChild<QLineEdit *>(QStringLiteral("Criteria_1"))->setText(QStringLiteral("10"));
    choose("SortField_0", QStringLiteral("LastName"));
}

} // namespace bench

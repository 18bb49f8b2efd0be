#pragma once

#include "customers/frmInformation.h"
#include "filter/frmFindWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <benchmark/benchmark.h>

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

// Times "&OK" of that filter on the record window, until the window holds
// its first row, on the database the window opens.
inline void timeTwoRowFilterOk(benchmark::State &state)
{
    auto *information = new customers::frmInformation;
    information->show();
    filter::frmFindWindow find;
    find.showFor(information);
    fillTwoRowFilter(find);
    for (auto _ : state) {
        state.PauseTiming();
        information->data()->setRecordSource(QStringLiteral("Information"));
        find.showFor(information);
        state.ResumeTiming();
        find.OKButton_Click();
        benchmark::DoNotOptimize(information->data()->recordset()->value(QStringLiteral("LastName")));
    }
    if (information->data()->RecordSource() != kTwoRowFilter)
        state.SkipWithError(qPrintable(QStringLiteral("unexpected statement: ") + information->data()->RecordSource()));
    state.counters["rows"] = information->data()->recordset()->RecordCount();
    information->close();
    delete information;
}

} // namespace bench

// "&OK" on a two-row filter with a sort over 1,000,000 customers, until the
// record window shows its first row, against running the same translated
// statement alone and reading its first row.
#include "bench/BenchDatabase.h"

#include "customers/frmInformation.h"
#include "filter/frmFindWindow.h"
#include "store/DBEngine.h"
#include "store/ProgramFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 1000000;
const QString kStatement = QStringLiteral(
    "Select Information.* From Information Where [City] = 'SPRINGFIELD' AND [KeyDeposit] > 10 ORDER BY [LastName] ASC");

void choose(QComboBox *list, const QString &text)
{
    const int i = list->findText(text);
    list->setCurrentIndex(i);
    emit list->activated(i);
}

void BM_FilterOkUntilFirstRowShown(benchmark::State &state)
{
    QTemporaryDir folder;
    QFile::link(bench::customerDatabase(kRows), folder.filePath(QStringLiteral("Vantrel.mdb")));
    store::setProgramFolder(folder.path());

    auto *information = new customers::frmInformation;
    information->show();
    filter::frmFindWindow find;
    find.showFor(information);
    choose(find.findChild<QComboBox *>(QStringLiteral("Field_0")), QStringLiteral("City"));
    find.findChild<QLineEdit *>(QStringLiteral("Criteria_0"))->setText(QStringLiteral("SPRINGFIELD"));
    choose(find.findChild<QComboBox *>(QStringLiteral("Condition_0")), QStringLiteral("And"));
    choose(find.findChild<QComboBox *>(QStringLiteral("Field_1")), QStringLiteral("KeyDeposit"));
    choose(find.findChild<QComboBox *>(QStringLiteral("Operator_1")), QStringLiteral("Is Greater Than"));
    find.findChild<QLineEdit *>(QStringLiteral("Criteria_1"))->setText(QStringLiteral("10"));
    choose(find.findChild<QComboBox *>(QStringLiteral("SortField_0")), QStringLiteral("LastName"));

    for (auto _ : state) {
        state.PauseTiming();
        information->data()->setRecordSource(QStringLiteral("Information"));
        find.showFor(information);
        state.ResumeTiming();
        find.OKButton_Click();
        benchmark::DoNotOptimize(information->data()->recordset()->value(QStringLiteral("LastName")));
    }
    if (information->data()->RecordSource() != kStatement)
        state.SkipWithError(qPrintable(QStringLiteral("unexpected statement: ") + information->data()->RecordSource()));
    state.counters["rows"] = information->data()->recordset()->RecordCount();
    information->close();
}
BENCHMARK(BM_FilterOkUntilFirstRowShown)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_TranslatedStatementAlone(benchmark::State &state)
{
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(bench::customerDatabase(kRows), &e);
    for (auto _ : state) {
        auto rs = db->OpenRecordset(kStatement, store::Recordset::Dynaset, &e);
        benchmark::DoNotOptimize(rs->value(QStringLiteral("LastName")));
    }
}
BENCHMARK(BM_TranslatedStatementAlone)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

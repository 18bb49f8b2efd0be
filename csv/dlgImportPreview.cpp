#include "csv/dlgImportPreview.h"

#include "csv/OpenDataWindows.h"
#include "platform/Services.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace csv {

namespace {
constexpr int kPreviewRows = 20;

QString title(Target target)
{
    return target == Target::Customers ? QStringLiteral("Import Customers") : QStringLiteral("Import Center Settings");
}
} // namespace

// The issues of a check, for a view that reads only the rows in sight:
// a file can hold a hundred thousand bad rows.
class IssueModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setIssues(const QList<Issue> &issues)
    {
        beginResetModel();
        m_issues = issues;
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_issues.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const Issue &issue = m_issues.at(index.row());
        switch (index.column()) {
        case 0: return issue.line;
        case 1: return issue.kind == Issue::Kind::Error ? QStringLiteral("Not imported") : QStringLiteral("Warning");
        case 2: return issue.field;
        default: return issue.reason;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const QStringList captions = {QStringLiteral("Line"), QStringLiteral("Row"), QStringLiteral("Field"),
                                             QStringLiteral("Reason")};
        return captions.value(section);
    }

private:
    QList<Issue> m_issues;
};

dlgImportPreview::dlgImportPreview(std::unique_ptr<CsvImport> import, QString databasePath, QWidget *parent)
    : QDialog(parent), m_import(std::move(import)), m_databasePath(std::move(databasePath))
{
    setObjectName(QStringLiteral("dlgImportPreview"));
    setWindowTitle(title(m_import->target()));
    buildControls();
    fillRows();
    recheck();
    resize(900, 640);
}

dlgImportPreview::~dlgImportPreview() = default;

QComboBox *dlgImportPreview::fieldChoice(int column) const
{
    return m_fieldChoices.value(column);
}

void dlgImportPreview::buildControls()
{
    const QString what = m_import->target() == Target::Customers
        ? QStringLiteral("The rows are added to the customers; no customer already there is changed.")
        : QStringLiteral("The first row replaces the center's settings.");
    auto *about = new QLabel(QStringLiteral("Read as %1, values separated by %2. %3")
                                 .arg(m_import->encoding(), delimiterName(m_import->delimiter()), what),
                             this);
    about->setObjectName(QStringLiteral("lblAbout"));
    about->setWordWrap(true);

    m_mapping = new QTableWidget(int(m_import->header().size()), 2, this);
    m_mapping->setObjectName(QStringLiteral("tblMapping"));
    m_mapping->setHorizontalHeaderLabels({QStringLiteral("Column of the file"), QStringLiteral("Field")});
    m_mapping->verticalHeader()->hide();
    m_mapping->horizontalHeader()->setStretchLastSection(true);
    m_mapping->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < m_import->header().size(); ++c) {
        const QString name = m_import->header().at(c);
        m_mapping->setItem(c, 0,
                           new QTableWidgetItem(name.isEmpty() ? QStringLiteral("(column %1)").arg(c + 1) : name));
        auto *choice = new QComboBox(m_mapping);
        choice->setObjectName(QStringLiteral("cboField_%1").arg(c));
        choice->setAccessibleName(
            QStringLiteral("Field for the column %1").arg(name.isEmpty() ? QString::number(c + 1) : name));
        choice->addItem(QStringLiteral("(not imported)"), -1);
        for (int f = 0; f < m_import->rules().size(); ++f)
            choice->addItem(m_import->rules().at(f).field, f);
        choice->setCurrentIndex(choice->findData(m_import->mapping().at(c)));
        connect(choice, &QComboBox::currentIndexChanged, this, &dlgImportPreview::mappingChanged);
        m_mapping->setCellWidget(c, 1, choice);
        m_fieldChoices << choice;
    }
    m_mapping->resizeColumnToContents(0);
    m_mapping->setColumnWidth(0, qMax(m_mapping->columnWidth(0), 180));
    auto *mappingLabel = new QLabel(QStringLiteral("&Columns and the fields they fill:"), this);
    mappingLabel->setBuddy(m_mapping);
    m_mapping->setAccessibleName(QStringLiteral("Columns and the fields they fill"));

    m_rows = new QTableWidget(this);
    m_rows->setObjectName(QStringLiteral("tblRows"));
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *rowsLabel = new QLabel(QStringLiteral("&First rows of the file:"), this);
    rowsLabel->setBuddy(m_rows);
    m_rows->setAccessibleName(QStringLiteral("First rows of the file"));

    m_issueModel = new IssueModel(this);
    m_issues = new QTableView(this);
    m_issues->setObjectName(QStringLiteral("tblIssues"));
    m_issues->setModel(m_issueModel);
    m_issues->verticalHeader()->hide();
    m_issues->horizontalHeader()->setStretchLastSection(true);
    m_issues->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto *issuesLabel = new QLabel(QStringLiteral("&Rows that will not go in, and warnings:"), this);
    issuesLabel->setBuddy(m_issues);
    m_issues->setAccessibleName(QStringLiteral("Rows that will not go in, and warnings"));

    m_summaryLabel = new QLabel(this);
    m_summaryLabel->setObjectName(QStringLiteral("lblSummary"));
    m_summaryLabel->setWordWrap(true);

    cmdImport = new QPushButton(QStringLiteral("&Import"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdImport->setToolTip(QStringLiteral("Click here to import the rows that can go in"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setToolTip(QStringLiteral("Click here to import nothing"));
    connect(cmdImport, &QPushButton::clicked, this, &dlgImportPreview::cmdImport_Click);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_summaryLabel, 1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(CancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(about);
    layout->addWidget(mappingLabel);
    layout->addWidget(m_mapping, 2);
    layout->addWidget(rowsLabel);
    layout->addWidget(m_rows, 2);
    layout->addWidget(issuesLabel);
    layout->addWidget(m_issues, 2);
    layout->addLayout(buttons);
}

void dlgImportPreview::fillRows()
{
    const QList<CsvRecord> rows = m_import->firstRows(kPreviewRows);
    m_rows->setColumnCount(int(m_import->header().size()));
    m_rows->setHorizontalHeaderLabels(m_import->header());
    m_rows->setRowCount(int(rows.size()));
    QStringList lines;
    for (int r = 0; r < rows.size(); ++r) {
        lines << QString::number(rows.at(r).line);
        for (int c = 0; c < rows.at(r).values.size() && c < m_rows->columnCount(); ++c)
            m_rows->setItem(r, c, new QTableWidgetItem(rows.at(r).values.at(c)));
    }
    m_rows->setVerticalHeaderLabels(lines);
}

void dlgImportPreview::mappingChanged()
{
    QVector<int> mapping;
    for (QComboBox *choice : std::as_const(m_fieldChoices))
        mapping << choice->currentData().toInt();
    QString error;
    if (!m_import->setMapping(mapping, &error)) {
        m_summaryLabel->setText(error);
        cmdImport->setEnabled(false);
        return;
    }
    recheck();
}

void dlgImportPreview::recheck()
{
    platform::Hourglass busy;
    m_summary = m_import->check();
    m_issueModel->setIssues(m_summary.issues);
    m_issues->resizeColumnToContents(0);
    m_issues->resizeColumnToContents(1);
    m_issues->resizeColumnToContents(2);
    QString text = QStringLiteral("%1 of %2 rows can go in; %3 cannot.")
                       .arg(m_summary.goodRows)
                       .arg(m_summary.rows)
                       .arg(m_summary.badRows);
    const QStringList missing = m_import->fieldsWithoutColumn();
    if (!missing.isEmpty() && m_import->target() == Target::Customers)
        text += QStringLiteral(" %1 fields have no column and stay empty.").arg(missing.size());
    if (!m_summary.error.isEmpty())
        text = m_summary.error;
    m_summaryLabel->setText(text);
    cmdImport->setEnabled(m_summary.goodRows > 0 && m_summary.error.isEmpty());
}

void dlgImportPreview::cmdImport_Click()
{
    const QString caption = title(m_import->target());
    QString error;
    if (!writeOpenEdits(m_databasePath, &error)) {
        platform::msgBox(error, platform::Buttons::OKOnly, platform::Icon::Exclamation, caption);
        return;
    }
    ImportResult result;
    {
        platform::Hourglass busy;
        QProgressDialog progress(QStringLiteral("Importing..."), QStringLiteral("Cancel"), 0, 1000, this);
        progress.setObjectName(QStringLiteral("ImportProgress"));
        progress.setWindowTitle(caption);
        progress.setWindowModality(Qt::ApplicationModal); // no window may go while it works
        progress.setMinimumDuration(500);
        result = m_import->run(CsvImport::Rows::Good, [&progress](qint64 done, qint64 total) {
            progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
            return !progress.wasCanceled();
        });
    }
    if (result.cancelled) {
        platform::msgBox(QStringLiteral("The import was cancelled; nothing was imported."), platform::Buttons::OKOnly,
                         platform::Icon::Information, caption);
        return;
    }
    if (!result.succeeded) {
        platform::msgBox(result.error, platform::Buttons::OKOnly, platform::Icon::Critical, caption);
        return;
    }
    showNewRows(m_databasePath);
    QString text;
    if (m_import->target() == Target::CenterSettings)
        text = QStringLiteral("The center's settings were imported.");
    else
        text = result.added == 1 ? QStringLiteral("1 customer was imported.")
                                 : QStringLiteral("%1 customers were imported.").arg(result.added);
    if (result.summary.badRows > 0)
        text += result.summary.badRows == 1 ? QStringLiteral(" 1 row was not imported.")
                                            : QStringLiteral(" %1 rows were not imported.").arg(result.summary.badRows);
    platform::msgBox(text, platform::Buttons::OKOnly, platform::Icon::Information, caption);
    accept();
}

} // namespace csv

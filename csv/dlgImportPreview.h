#pragma once

#include "csv/CsvImport.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;

namespace csv {

class IssueModel;

// The preview of an import: which column fills which field (the operator
// may change it), the first rows of the file, and every row that will not
// go in with its line, field and reason, and the warnings. "&Import" adds
// the good rows; "Cancel" adds nothing.
class dlgImportPreview : public QDialog
{
    Q_OBJECT
public:
    dlgImportPreview(std::unique_ptr<CsvImport> import, QString databasePath, QWidget *parent = nullptr);
    ~dlgImportPreview() override;

    const CsvImport &import() const { return *m_import; }
    const CheckSummary &summary() const { return m_summary; }
    QComboBox *fieldChoice(int column) const;

    // "&Import": writes what the open windows hold, imports the good rows
    // with a progress window, tells the outcome and closes when done.
    void cmdImport_Click();

private:
    void buildControls();
    void fillRows();
    void mappingChanged();
    void recheck();

    std::unique_ptr<CsvImport> m_import;
    QString m_databasePath;
    CheckSummary m_summary;
    QList<QComboBox *> m_fieldChoices;
    QTableWidget *m_mapping = nullptr;
    QTableWidget *m_rows = nullptr;
    QTableView *m_issues = nullptr;
    IssueModel *m_issueModel = nullptr;
    QLabel *m_summaryLabel = nullptr;
    QPushButton *cmdImport = nullptr;
    QPushButton *CancelButton = nullptr;
};

} // namespace csv

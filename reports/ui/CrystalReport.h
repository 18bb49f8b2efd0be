#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QWidget;

namespace reports {

class ReportPreview;

// The report control of a window (objectName "CrystalReport1"): the
// selection formula, sort fields 0 to 2 and the report file name stay as
// set until they are set again; setting the action to 1 runs the report:
// the file is read, its rows selected (the file's own selection and the
// formula, both) and sorted (the sort fields, else the file's own), and the
// pages go to the destination. The default destination is a preview window
// with Print and Save as PDF; a file destination writes a PDF.
class CrystalReport : public QObject
{
    Q_OBJECT
public:
    enum class Destination { Window, File };

    explicit CrystalReport(QWidget *owner);

    QString SelectionFormula() const { return m_formula; }
    void setSelectionFormula(const QString &formula)
    {
        m_formula = formula;
        m_statement.clear();
    }
    // The rows of the selection formula as a statement of the engine's
    // dialect, when the caller has one (the filter builder makes both): the
    // report then counts and reads them through it instead of checking every
    // customer against the formula. Cleared with the formula's next setting.
    QString SelectionStatement() const { return m_statement; }
    void setSelectionStatement(const QString &statement) { m_statement = statement; }
    QString SortFields(int index) const;
    void setSortFields(int index, const QString &key);
    QString ReportFileName() const { return m_reportFile; }
    void setReportFileName(const QString &path) { m_reportFile = path; }

    Destination destination() const { return m_destination; }
    void setDestination(Destination destination) { m_destination = destination; }
    // The PDF written when the destination is a file.
    QString PrintFileName() const { return m_printFile; }
    void setPrintFileName(const QString &path) { m_printFile = path; }

    // Action 1 runs the report. False when it failed or was cancelled;
    // LastErrorString() then says why. Other actions are refused.
    bool setAction(int action);
    QString LastErrorString() const { return m_error; }

    // What the last run was given, for whoever checks what was printed.
    struct Run {
        QString selectionFormula;
        QStringList sortFields;
        QString reportFile;
    };
    int runCount() const { return m_runs; }
    const Run &lastRun() const { return m_lastRun; }
    // The preview window of the last run, while it is open.
    ReportPreview *lastPreview() const;

private:
    bool run();

    QWidget *m_owner;
    QString m_formula;
    QString m_statement;
    QString m_sort[3];
    QString m_reportFile;
    Destination m_destination = Destination::Window;
    QString m_printFile;
    QString m_error;
    int m_runs = 0;
    Run m_lastRun;
    QPointer<QObject> m_preview;
};

} // namespace reports

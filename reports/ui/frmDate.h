#pragma once

#include <QDialog>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace widgets {
class DateEdit;
}

namespace reports {

class CrystalReport;

// The expiry-date dialog ("Date "): prints the renewal notices of the
// lockers that expire by the date entered, as letters to mail when the
// main menu's "To Be &Mailed" carries the check mark, as notices for the
// locker door otherwise. However it closes, both check marks are cleared.
class frmDate : public QDialog
{
    Q_OBJECT
public:
    // The main menu's two check-marked items, read and cleared here.
    frmDate(QAction *printMail, QAction *printLocker, QWidget *parent = nullptr);

    void Command3_Click();
    void Command1_Click();

    // The formula for the entry "mm/dd/yyyy": month, day and year cut from
    // their fixed places.
    static QString renewalFormula(const QString &entry);

    CrystalReport *report() const { return CrystalReport1; }

protected:
    void done(int result) override;

private:
    QAction *m_printMail;
    QAction *m_printLocker;
    QGroupBox *Frame2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    widgets::DateEdit *TDBDate1 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command1 = nullptr;
    QLineEdit *Text3 = nullptr;
    CrystalReport *CrystalReport1 = nullptr;
};

} // namespace reports

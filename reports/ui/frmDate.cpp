#include "reports/ui/frmDate.h"

#include "platform/Services.h"
#include "reports/ui/CrystalReport.h"
#include "reports/ui/ReportPreview.h"
#include "store/ProgramFolder.h"
#include "widgets/DateEdit.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace reports {

frmDate::frmDate(QAction *printMail, QAction *printLocker, QWidget *parent)
    : QDialog(parent), m_printMail(printMail), m_printLocker(printLocker)
{
    setObjectName(QStringLiteral("frmDate"));
    setWindowTitle(QStringLiteral("Date "));

    Frame2 = new QGroupBox(QStringLiteral("Expiry Date"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Label1 = new QLabel(QStringLiteral("Show all lockers that will expire after this date:"), Frame2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label2 = new QLabel(QStringLiteral("Ending Date"), Frame2);
    Label2->setObjectName(QStringLiteral("Label2"));
    // Not bound to a field: the dialog only reads what was typed.
    TDBDate1 = new widgets::DateEdit(QString(), widgets::DateEdit::Storage::Date, Frame2);
    TDBDate1->setObjectName(QStringLiteral("TDBDate1"));
    TDBDate1->setAccessibleName(QStringLiteral("Ending Date"));
    TDBDate1->setMinimumWidth(TDBDate1->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    Label2->setBuddy(TDBDate1);

    Command3 = new QPushButton(QStringLiteral("&Go"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setDefault(true);
    Command1 = new QPushButton(QStringLiteral("E&xit"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    // Receives the formula it hands to the report control; not for typing.
    Text3 = new QLineEdit(this);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setAccessibleName(QStringLiteral("Selection formula"));
    Text3->setReadOnly(true);
    Text3->hide();
    CrystalReport1 = new CrystalReport(this);

    auto *frameLayout = new QGridLayout(Frame2);
    frameLayout->addWidget(Label1, 0, 0, 1, 2);
    frameLayout->addWidget(Label2, 1, 0);
    frameLayout->addWidget(TDBDate1, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command3);
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame2);
    layout->addLayout(buttons);

    connect(Command3, &QPushButton::clicked, this, &frmDate::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &frmDate::Command1_Click);
    TDBDate1->setFocus(Qt::OtherFocusReason);
}

QString frmDate::renewalFormula(const QString &entry)
{
    const QString month = entry.left(2);
    const QString day = entry.mid(3, 2);
    const QString year = entry.right(4);
    return QStringLiteral("{Information.DatetoRenew} <= Date (") + year + QLatin1Char(',') + month + QLatin1Char(',')
        + day + QLatin1Char(')');
}

void frmDate::Command3_Click()
{
    platform::Hourglass busy;
    if (TDBDate1->isBlank()) {
        platform::msgBox(QStringLiteral("A Date Is Required"), platform::Buttons::OKOnly, platform::Icon::Exclamation,
                         QStringLiteral("Warning"));
        TDBDate1->setFocus(Qt::OtherFocusReason);
        return;
    }
    // A date typed in part, or one that does not exist, would cut into a
    // formula that selects the wrong customers: the field refuses it.
    if (!TDBDate1->holdsDate()) {
        TDBDate1->refuseEntry();
        return;
    }
    Text3->setText(renewalFormula(TDBDate1->displayText()));
    CrystalReport1->setSelectionFormula(Text3->text());
    const bool mail = m_printMail && m_printMail->isChecked();
    CrystalReport1->setReportFileName(
        store::programPath(mail ? QStringLiteral("\\RenewalMail.rpt") : QStringLiteral("\\RenewalLocker.rpt")));
    if (!CrystalReport1->setAction(1))
        platform::msgBox(CrystalReport1->LastErrorString(), platform::Buttons::OKOnly, platform::Icon::Exclamation);
}

void frmDate::Command1_Click()
{
    reject();
}

void frmDate::done(int result)
{
    for (QAction *mark : {m_printMail, m_printLocker}) {
        if (mark)
            mark->setChecked(false);
    }
    // The notices stay open until the operator closes them: they belong to
    // this dialog only while it is open (so that they can be used beside
    // it), then to the window that opened it.
    const QList<ReportPreview *> previews = findChildren<ReportPreview *>(Qt::FindDirectChildrenOnly);
    for (ReportPreview *preview : previews) {
        const bool shown = preview->isVisible();
        preview->setParent(parentWidget(), preview->windowFlags());
        if (shown)
            preview->show();
    }
    QDialog::done(result);
}

} // namespace reports

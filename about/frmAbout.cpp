#include "about/frmAbout.h"

#include "about/ProgramPicture.h"
#include "about/SysInfo.h"
#include "platform/MessageBox.h"
#include "store/ProgramFolder.h"

#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace about {

QString versionText()
{
    return QStringLiteral("Version ") + QString::number(VANTREL_VERSION_MAJOR) + QLatin1Char('.')
        + QString::number(VANTREL_VERSION_MINOR) + QLatin1Char('.') + QString::number(VANTREL_VERSION_REVISION);
}

frmAbout::frmAbout(QWidget *mainMenu) : QWidget(nullptr, Qt::Dialog), m_mainMenu(mainMenu)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Revised  December 17, 2004"));
    setWindowIcon(programIcon());

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(programIcon().pixmap(48, 48));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    lblTitle = new QLabel(QStringLiteral("Application Title"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(QStringLiteral("Version"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(QStringLiteral("For Windows 95, 98, ME, 2000, and XP"), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    // Installed, the database is not beside the program: the operator needs
    // to know where it is to back it up or move it.
    lblFolder = new QLabel(this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setWordWrap(true);
    lblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    auto *texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(8);
    texts->addWidget(lblDescription);
    texts->addSpacing(8);
    texts->addWidget(lblFolder);
    texts->addStretch();

    auto *top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(top, 1);
    layout->addWidget(line);
    layout->addLayout(bottom);
    resize(400, 250);

    Form_Load();
}

void frmAbout::Form_Load()
{
    lblVersion->setText(versionText());
    lblTitle->setText(platform::applicationTitle());
    lblFolder->setText(QStringLiteral("Program folder: ") + QDir::toNativeSeparators(store::programFolder()));
    lblFolder->setAccessibleName(lblFolder->text());
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::Form_Unload()
{
    if (m_mainMenu)
        m_mainMenu->setEnabled(true);
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace about

#include "widgets/WriteConflictDialog.h"

#include "store/EngineError.h"

#include <QApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace widgets {

namespace {
QString shown(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("MM/dd/yyyy"));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    return value.toString();
}
} // namespace

WriteConflictDialog::WriteConflictDialog(const QStringList &fields, const QVariantList &mine,
                                         const QVariantList &theirs, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("WriteConflictDialog"));
    setWindowTitle(QStringLiteral("Changed at another desk"));
    auto *layout = new QVBoxLayout(this);
    auto *told = new QLabel(store::writeConflictText() + QStringLiteral(" Keep which version?"), this);
    told->setWordWrap(true);
    layout->addWidget(told);

    // Fields that differ first, marked; the rest below them.
    QList<int> order;
    for (int i = 0; i < fields.size(); ++i) {
        if (mine.value(i) != theirs.value(i))
            order << i;
    }
    const int differing = int(order.size());
    for (int i = 0; i < fields.size(); ++i) {
        if (mine.value(i) == theirs.value(i))
            order << i;
    }
    m_table = new QTableWidget(int(order.size()), 3, this);
    m_table->setObjectName(QStringLiteral("tblVersions"));
    m_table->setAccessibleName(QStringLiteral("Your version and the other desk's, field by field"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Field"), QStringLiteral("Your version"), QStringLiteral("Other desk's version")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int row = 0; row < order.size(); ++row) {
        const int f = order.at(row);
        const QStringList texts{fields.at(f), shown(mine.value(f)), shown(theirs.value(f))};
        for (int c = 0; c < 3; ++c) {
            auto *item = new QTableWidgetItem(texts.at(c));
            if (row < differing) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            m_table->setItem(row, c, item);
        }
    }
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->setMinimumSize(560, 300);
    layout->addWidget(m_table);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *keep = buttons->addButton(QStringLiteral("&Keep My Version"), QDialogButtonBox::AcceptRole);
    QPushButton *take = buttons->addButton(QStringLiteral("&Take the Other Desk's"), QDialogButtonBox::AcceptRole);
    QPushButton *back = buttons->addButton(QStringLiteral("&Go Back"), QDialogButtonBox::RejectRole);
    keep->setObjectName(QStringLiteral("cmdKeepMine"));
    take->setObjectName(QStringLiteral("cmdTakeTheirs"));
    back->setObjectName(QStringLiteral("cmdGoBack"));
    back->setDefault(true); // nothing is overwritten by a stray Enter
    using Choice = store::DataControl::ConflictChoice;
    connect(keep, &QPushButton::clicked, this, [this] {
        m_choice = Choice::KeepMine;
        accept();
    });
    connect(take, &QPushButton::clicked, this, [this] {
        m_choice = Choice::TakeTheirs;
        accept();
    });
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
}

store::DataControl::ConflictChoice WriteConflictDialog::ask(const QStringList &fields, const QVariantList &mine,
                                                            const QVariantList &theirs)
{
    WriteConflictDialog dialog(fields, mine, theirs, QApplication::activeWindow());
    dialog.exec();
    return dialog.choice();
}

} // namespace widgets

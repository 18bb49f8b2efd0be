#include "filter/frmFindWindow.h"

#include "filter/StatementBuilder.h"
#include "platform/Services.h"
#include "store/DataControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace filter {

namespace {
constexpr int kClientWidth = 8955;
constexpr int kClientHeight = 3735;
constexpr int kRowStep = 330;
const QColor kLightGrey(0xC0, 0xC0, 0xC0);
const char *kListKind = "listKind";
} // namespace

frmFindWindow::frmFindWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , Field(QStringLiteral("Field"), this, [this](QWidget *p) { return newList(p, true); })
    , Operator(QStringLiteral("Operator"), this, [this](QWidget *p) { return newList(p, false); })
    , Criteria(QStringLiteral("Criteria"), this, [this](QWidget *p) { return newCriteriaBox(p); })
    , Condition(QStringLiteral("Condition"), this, [this](QWidget *p) { return newList(p, false); })
    , SortField(QStringLiteral("SortField"), this, [this](QWidget *p) { return newList(p, true); })
    , SortOrder(QStringLiteral("SortOrder"), this, [this](QWidget *p) { return newList(p, false); })
{
    setObjectName(QStringLiteral("frmFindWindow"));
    setWindowTitle(QStringLiteral("Set Filter"));
    setModal(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLightGrey);
    setPalette(pal);
    setAutoFillBackground(true);
    // The layout is measured for a small sans-serif face at 8 points.
    QFont small = font();
    small.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    small.setPointSize(8);
    setFont(small);
    createControls();
    setFixedSize(tw(kClientWidth), tw(kClientHeight));
}

frmFindWindow::~frmFindWindow() = default;

int frmFindWindow::tw(int twips) const
{
    return qRound(twips * logicalDpiX() / 1440.0);
}

void frmFindWindow::place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(tw(left), tw(top), tw(width), tw(height));
}

void frmFindWindow::placeBelow(QWidget *element, QWidget *first, int index)
{
    element->setGeometry(first->x(), first->y() + tw(kRowStep * index), first->width(), first->height());
}

QComboBox *frmFindWindow::newList(QWidget *parent, bool sorted)
{
    auto *list = new QComboBox(parent);
    list->setEditable(false);
    list->setProperty("sortedList", sorted);
    list->setProperty(kListKind, QString());
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // A choice by the operator runs the same handler as a choice made by code.
    connect(list, &QComboBox::activated, this, [this, list] { runClickHandler(list); });
    return list;
}

QLineEdit *frmFindWindow::newCriteriaBox(QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->installEventFilter(this);
    return box;
}

void frmFindWindow::createControls()
{
    auto label = [this](const char *name, const QString &text, int l, int t, int w, int h) {
        auto *lbl = new QLabel(text, this);
        lbl->setObjectName(QString::fromLatin1(name));
        place(lbl, l, t, w, h);
        return lbl;
    };
    auto frame = [this](const char *name, int l, int t, int w, int h) {
        auto *f = new QFrame(this);
        f->setObjectName(QString::fromLatin1(name));
        f->setFrameShape(QFrame::Box);
        f->setFrameShadow(QFrame::Plain);
        place(f, l, t, w, h);
        f->lower();
        return f;
    };
    auto button = [this](const char *name, const QString &text, const QString &tip, int l, int t) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        b->setAutoDefault(false);
        place(b, l, t, 1300, 345);
        return b;
    };

    Shape4 = frame("Shape4", 120, 240, 8685, 1875);
    Shape3 = frame("Shape3", 120, 2280, 4245, 1275);
    Label1 = label("Label1", QStringLiteral(" Find Records When:"), 225, 120, 1920, 195);
    Label2 = label("Label2", QStringLiteral(" Sort Found Records By:"), 240, 2250, 2175, 195);
    for (QLabel *l : {Label1, Label2}) {
        l->setAutoFillBackground(true);
        l->adjustSize();
        l->raise();
    }

    // Each row's controls read their column and row, the rows added later too.
    auto rowName = [](const QString &what) {
        return [what](int i) { return QStringLiteral("%1, row %2").arg(what).arg(i + 1); };
    };
    Field.setAccessibleNames(rowName(QStringLiteral("Find records when field")));
    Operator.setAccessibleNames(rowName(QStringLiteral("Operator")));
    Criteria.setAccessibleNames(rowName(QStringLiteral("Criteria")));
    Condition.setAccessibleNames(rowName(QStringLiteral("And or Or")));
    SortField.setAccessibleNames(rowName(QStringLiteral("Sort found records by field")));
    SortOrder.setAccessibleNames(rowName(QStringLiteral("Sort order")));

    Field.create(0);
    place(Field(0), 240, 420, 2400, 315);
    Field(0)->setToolTip(QStringLiteral("Select the database field to search on"));
    Operator.create(0);
    place(Operator(0), 2880, 420, 2460, 315);
    Operator(0)->setToolTip(QStringLiteral("Select an operator from the drop down list"));
    Criteria.create(0);
    place(Criteria(0), 5520, 435, 2000, 300);
    Condition.create(0);
    place(Condition(0), 7740, 420, 792, 315);
    Condition(0)->setToolTip(QStringLiteral("Pick from the drop down list to make or more defined filter"));
    SortField.create(0);
    place(SortField(0), 225, 2535, 2400, 315);
    SortField(0)->setToolTip(QStringLiteral("Enter a database field here to sort all filtered records on"));
    SortOrder.create(0);
    place(SortOrder(0), 2655, 2535, 1650, 315);
    SortOrder(0)->setToolTip(QStringLiteral("Sort Order"));
    Field(0)->show();
    SortField(0)->show();

    CountCheck = new QCheckBox(QStringLiteral("Count &Records "), this);
    CountCheck->setObjectName(QStringLiteral("CountCheck"));
    CountCheck->setToolTip(QStringLiteral("Check this box to count all records you specify in the filter"));
    place(CountCheck, 4620, 2580, 1680, 204);
    DeleteCheck = new QCheckBox(QStringLiteral("&Delete Found Records"), this);
    DeleteCheck->setObjectName(QStringLiteral("DeleteCheck"));
    DeleteCheck->setToolTip(QStringLiteral("Check this box to delete all records you specify in the filter"));
    place(DeleteCheck, 6360, 2580, 2325, 200);
    for (QCheckBox *c : {CountCheck, DeleteCheck}) {
        c->setMinimumHeight(c->sizeHint().height());
        c->resize(c->width(), qMax(c->height(), c->sizeHint().height()));
        c->hide();
    }
    // toggled, not clicked: the handler runs however the box is ticked, a
    // screen reader's toggle and the window's own resets included.
    connect(DeleteCheck, &QCheckBox::toggled, this, &frmFindWindow::DeleteCheck_Click);

    ClearSortButton = button("ClearSortButton", QStringLiteral("Clear &Sort"),
                             QStringLiteral("Clears all of the \"Sort\" windows"), 4608, 2880);
    ClearButton = button("ClearButton", QStringLiteral("Clear &Find"),
                         QStringLiteral("Clears all of the find windows above"), 6036, 2880);
    AdvancedButton = button("AdvancedButton", QStringLiteral("&Advanced..."),
                            QStringLiteral("Click here to show \"Advanced\" features"), 7488, 2880);
    Command1 = button("Command1", QStringLiteral("&Cancel Filter"),
                      QStringLiteral("Click here to cancel all active filters"), 4608, 3300);
    CancelButton = button("CancelButton", QStringLiteral("E&xit"), QStringLiteral("Click here to return"), 6036, 3300);
    OKButton =
        button("OKButton", QStringLiteral("&OK"), QStringLiteral("Click here to \"Build\" the filter"), 7488, 3300);
    OKButton->setDefault(true);
    connect(ClearSortButton, &QPushButton::clicked, this, &frmFindWindow::ClearSortButton_Click);
    connect(ClearButton, &QPushButton::clicked, this, &frmFindWindow::ClearButton_Click);
    connect(AdvancedButton, &QPushButton::clicked, this, &frmFindWindow::AdvancedButton_Click);
    connect(Command1, &QPushButton::clicked, this, &frmFindWindow::Command1_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmFindWindow::CancelButton_Click);
    connect(OKButton, &QPushButton::clicked, this, &frmFindWindow::OKButton_Click);

    // Focus targets below the visible area; the Tab key never reaches them.
    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    place(Picture1, 4320, 3840, 255, 150);
    Picture2 = new QWidget(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    place(Picture2, 4800, 3840, 255, 150);
    for (QWidget *p : {Picture1, Picture2})
        p->setFocusPolicy(Qt::NoFocus);

    // The statement display lies below the client area: its labels hold the
    // statement, the formula and the sort keys for printing.
    Label3 = label("Label3", QStringLiteral("Filter Statement"), 120, 3840, 2172, 192);
    SQLLabel = label("SQLLabel", QString(), 80, 4080, 8700, 900);
    Label5 = label("Label5", QStringLiteral("Report Filter"), 120, 5040, 2292, 192);
    Label4 = label("Label4", QString(), 80, 5244, 8700, 900);
    Label6 = label("Label6", QString(), 80, 6240, 8700, 300);
    Label7 = label("Label7", QString(), 80, 6600, 8700, 300);
    Label8 = label("Label8", QString(), 80, 6960, 8700, 300);
    SQLLabel->setWordWrap(true);
    Label4->setWordWrap(true);
    SQLLabel->installEventFilter(this);

    // Tab positions of the design.
    setTabOrder(Field(0), Operator(0));
    setTabOrder(Operator(0), Criteria(0));
    setTabOrder(Criteria(0), Condition(0));
    setTabOrder(Condition(0), SortField(0));
    setTabOrder(SortField(0), SortOrder(0));
    setTabOrder(SortOrder(0), OKButton);
    setTabOrder(OKButton, CancelButton);
    setTabOrder(CancelButton, AdvancedButton);
    setTabOrder(AdvancedButton, ClearSortButton);
    setTabOrder(ClearSortButton, ClearButton);
    setTabOrder(ClearButton, CountCheck);
    setTabOrder(CountCheck, DeleteCheck);
    setTabOrder(DeleteCheck, Command1);
}

void frmFindWindow::showFor(QWidget *customerWindow)
{
    // The window works on the customer window that opened it last; a closed
    // one is never reached again.
    m_customer = CustomerWindowLink(customerWindow);
    if (!m_loaded)
        Form_Load();
    show();
    raise();
    activateWindow();
    platform::services().setPointer(platform::Pointer::Default); // Form_Activate
}

int frmFindWindow::execFor(QWidget *customerWindow)
{
    m_customer = CustomerWindowLink(customerWindow);
    if (!m_loaded)
        Form_Load();
    platform::services().setPointer(platform::Pointer::Default); // Form_Activate
    return exec();
}

void frmFindWindow::Form_Load()
{
    m_loaded = true;
    platform::services().setPointer(platform::Pointer::Hourglass);
    if (const QScreen *display = screen()) {
        const QRect area = display->geometry();
        move(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2);
    }
    ResetFilterRows();
    select(Field(0), 0);
    ResetSortRows();
    select(SortField(0), 0);
}

void frmFindWindow::select(QComboBox *list, int position)
{
    if (!list)
        return;
    list->setCurrentIndex(position);
    runClickHandler(list);
}

void frmFindWindow::runClickHandler(QComboBox *list)
{
    if (const int i = Field.indexOf(list); i >= 0)
        Field_Click(i);
    else if (const int i = Operator.indexOf(list); i >= 0)
        Operator_Click(i);
    else if (const int i = Condition.indexOf(list); i >= 0)
        Condition_Click(i);
    else if (const int i = SortField.indexOf(list); i >= 0)
        SortField_Click(i);
    else if (SortOrder.indexOf(list) >= 0)
        RefreshStatementPreview();
}

QList<std::pair<QString, int>> frmFindWindow::recordsetFields() const
{
    QList<std::pair<QString, int>> fields;
    store::DataControl *data = m_customer.data();
    if (!data || !data->recordset())
        return fields;
    for (const store::FieldInfo &f : data->recordset()->Fields())
        fields.append({f.name, f.type});
    return fields;
}

void frmFindWindow::addSortedEntry(QComboBox *list, const QString &text, int typeCode)
{
    int at = list->count();
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).compare(text, Qt::CaseInsensitive) > 0) {
            at = i;
            break;
        }
    }
    list->insertItem(at, text, typeCode);
}

void frmFindWindow::FillFieldList(int row)
{
    QComboBox *list = Field(row);
    if (!list)
        return;
    if (row == 0)
        addSortedEntry(list, FindAllRecords, 0);
    for (const auto &[name, type] : recordsetFields())
        addSortedEntry(list, name, type);
    list->setCurrentIndex(-1);
    if (QComboBox *op = Operator(row))
        op->setProperty(kListKind, QString());
}

void frmFindWindow::FillSortFieldList(int row)
{
    QComboBox *list = SortField(row);
    if (!list)
        return;
    if (row == 0)
        addSortedEntry(list, DoNotSort, 0);
    for (const auto &[name, type] : recordsetFields()) {
        if (type != 12) // memo fields cannot be sorted
            addSortedEntry(list, name, type);
    }
    list->setCurrentIndex(-1);
}

void frmFindWindow::ResetFilterRows()
{
    Field(0)->clear();
    Operator(0)->clear();
    Operator(0)->hide();
    Criteria(0)->hide();
    Criteria(0)->clear();
    Condition(0)->clear();
    Condition(0)->addItems({QStringLiteral("And"), QStringLiteral("Or")});
    Condition(0)->setCurrentIndex(-1);
    Condition(0)->hide();
    for (int i = 1; i <= 4; ++i) {
        Condition.remove(i);
        Criteria.remove(i);
        Field.remove(i);
        Operator.remove(i);
    }
    FillFieldList(0);
}

void frmFindWindow::ResetSortRows()
{
    SortField(0)->clear();
    SortOrder(0)->clear();
    SortOrder(0)->hide();
    for (int k = 1; k <= 2; ++k) {
        SortField.remove(k);
        SortOrder.remove(k);
    }
    FillSortFieldList(0);
}

void frmFindWindow::Field_Click(int i)
{
    QComboBox *field0 = Field(0);
    if (field0->currentText() == FindAllRecords && !Operator(0)->isHidden()) {
        Picture1_GotFocus();
        RefreshStatementPreview();
        return;
    }
    if (field0->currentText() == FindAllRecords) {
        RefreshStatementPreview();
        return;
    }
    QComboBox *field = Field(i);
    if (!field || field->currentIndex() < 0)
        return;

    if (i > 0) {
        Criteria.create(i);
        placeBelow(Criteria(i), Criteria(0), i);
        Criteria(i)->clear();
        Operator.create(i);
        placeBelow(Operator(i), Operator(0), i);
        Operator(i)->setToolTip(Operator(0)->toolTip());
        Operator(i)->setProperty(kListKind, QString());
        if (i < 4) {
            Condition.create(i);
            placeBelow(Condition(i), Condition(0), i);
            Condition(i)->setToolTip(Condition(0)->toolTip());
            if (Condition(i)->count() == 0) {
                Condition(i)->addItems({QStringLiteral("And"), QStringLiteral("Or")});
                Condition(i)->setCurrentIndex(-1);
            }
        }
    }
    Criteria(i)->show();
    Operator(i)->show();
    setTabOrder(field, Operator(i));
    setTabOrder(Operator(i), Criteria(i));
    if (i < 4) {
        setTabOrder(Criteria(i), Condition(i));
        Condition(i)->show();
    }

    const int typeCode = field->currentData().toInt();
    const QString kind = listKindOf(typeCode);
    QComboBox *op = Operator(i);
    if (!kind.isEmpty() && op->property(kListKind).toString() != kind) {
        op->setProperty(kListKind, kind);
        if (kind != QLatin1String("Boolean"))
            Criteria(i)->clear();
        op->clear();
        op->addItems(Operators::forKind(kind));
        if (kind == QLatin1String("Boolean"))
            Criteria(i)->setText(QStringLiteral("Yes"));
        op->show();
        select(op, 0);
    }
    Criteria(i)->setFocus();
    RefreshStatementPreview();
}

void frmFindWindow::Operator_Click(int)
{
    RefreshStatementPreview();
}

void frmFindWindow::Condition_Click(int i)
{
    QComboBox *condition = Condition(i);
    if (!condition || condition->currentIndex() < 0) {
        RefreshStatementPreview();
        return;
    }
    if (!Field.create(i + 1)) {
        RefreshStatementPreview();
        return;
    }
    QComboBox *next = Field(i + 1);
    placeBelow(next, Field(0), i + 1);
    next->setToolTip(Field(0)->toolTip());
    next->setAccessibleName(Field(0)->toolTip());
    next->show();
    setTabOrder(condition, next);
    FillFieldList(i + 1);
    RefreshStatementPreview();
}

void frmFindWindow::SortField_Click(int k)
{
    QComboBox *sort0 = SortField(0);
    if (sort0->currentText() == DoNotSort && !SortOrder(0)->isHidden()) {
        Picture2_GotFocus();
        RefreshStatementPreview();
        return;
    }
    if (sort0->currentText() == DoNotSort) {
        RefreshStatementPreview();
        return;
    }
    QComboBox *sortField = SortField(k);
    if (!sortField || sortField->currentIndex() < 0)
        return;

    SortOrder.create(k);
    QComboBox *order = SortOrder(k);
    placeBelow(order, SortOrder(0), k);
    order->setToolTip(SortOrder(0)->toolTip());
    if (order->count() == 0) {
        order->addItems({QStringLiteral("Ascending"), QStringLiteral("Descending")});
        order->setCurrentIndex(0);
        setTabOrder(sortField, order);
    }
    order->show();
    if (k < 2) {
        SortField.create(k + 1);
        QComboBox *next = SortField(k + 1);
        placeBelow(next, SortField(0), k + 1);
        next->setToolTip(SortField(0)->toolTip());
        if (next->count() == 0)
            FillSortFieldList(k + 1);
        next->show();
        setTabOrder(order, next);
    }
    RefreshStatementPreview();
}

void frmFindWindow::SQLLabel_Click()
{
    RefreshStatementPreview();
}

void frmFindWindow::Picture1_GotFocus()
{
    ResetFilterRows();
    select(Field(0), 0);
    Field(0)->setFocus();
}

void frmFindWindow::Picture2_GotFocus()
{
    ResetSortRows();
    select(SortField(0), 0);
    SortField(0)->setFocus();
}

void frmFindWindow::ClearButton_Click()
{
    platform::Hourglass hourglass;
    ResetFilterRows();
    select(Field(0), 0);
    Field(0)->setFocus();
}

void frmFindWindow::ClearSortButton_Click()
{
    {
        platform::Hourglass hourglass;
        SortOrder(0)->hide();
        ResetSortRows();
    }
    select(SortField(0), 0);
    SortField(0)->setFocus();
}

void frmFindWindow::AdvancedButton_Click()
{
    platform::Hourglass hourglass;
    CountCheck->show();
    DeleteCheck->show();
    AdvancedButton->hide();
    update();
    CountCheck->setFocus();
    RefreshStatementPreview();
}

void frmFindWindow::hideAndResetOptions()
{
    hide();
    setFixedSize(tw(kClientWidth), tw(kClientHeight));
    AdvancedButton->show();
    CountCheck->hide();
    DeleteCheck->hide();
    DeleteCheck->setChecked(false);
    CountCheck->setChecked(false);
}

void frmFindWindow::CancelButton_Click()
{
    hideAndResetOptions();
    if (!m_customer.filterLabelShown()) {
        m_customer.setPrintEnabled(false);
        m_customer.setSortEnabled(true);
        if (store::DataControl *data = m_customer.data())
            data->setRecordsetType(store::Recordset::Dynaset);
    }
}

void frmFindWindow::Criteria_KeyUp(int)
{
    RefreshStatementPreview();
}

void frmFindWindow::RefreshStatementPreview()
{
    if (!AdvancedButton->isHidden())
        return;
    SQLLabel->setText(CreateSQLStatement());
}

QString frmFindWindow::CurrentTableName() const
{
    store::DataControl *data = m_customer.data();
    return tableNameFromSource(data ? data->RecordSource() : QStringLiteral("Information"));
}

FilterRows frmFindWindow::readRows() const
{
    FilterRows rows;
    rows.table = CurrentTableName();
    rows.deleteMode = DeleteCheck->isChecked();
    for (int i = 0; i < 5; ++i) {
        FilterRow row;
        if (QComboBox *field = Field(i)) {
            row.exists = true;
            row.field = field->currentText();
            row.typeCode = field->currentIndex() >= 0 ? field->currentData().toInt() : -1;
            if (QComboBox *op = Operator(i)) {
                row.op = op->currentText();
            }
            if (QLineEdit *criteria = Criteria(i))
                row.criteria = criteria->text();
            if (QComboBox *condition = Condition(i))
                row.condition = condition->currentText();
        }
        rows.rows.append(row);
    }
    for (int k = 0; k < 3; ++k) {
        SortRow sort;
        if (QComboBox *field = SortField(k)) {
            sort.exists = true;
            sort.field = field->currentText();
            if (QComboBox *order = SortOrder(k))
                sort.order = order->currentText();
        }
        rows.sorts.append(sort);
    }
    return rows;
}

QString frmFindWindow::CreateSQLStatement()
{
    return generateFilter().statement;
}

GeneratedFilter frmFindWindow::generateFilter()
{
    GeneratedFilter generated = filter::CreateSQLStatement(readRows());
    if (generated.findAll)
        m_customer.setFilterLabelShown(false);
    Label4->setText(generated.formula);
    m_reportSelection = generated.selection;
    Label6->setText(generated.sortKeys[0]);
    Label7->setText(generated.sortKeys[1]);
    Label8->setText(generated.sortKeys[2]);
    return generated;
}

void frmFindWindow::DrawRaisedBorder(QPainter &painter, const QSize &size, int depth)
{
    if (depth <= 0 || depth >= 21)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int W = size.width() - 1;
    const int H = size.height() - 1;
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    for (int j = 0; j < depth; ++j) {
        painter.drawLine(j, H - j, W, H - j);
        painter.drawLine(W - j, 0, W - j, H);
    }
    // White last, so it covers the grey where the edges cross.
    painter.setPen(QPen(Qt::white, 1));
    for (int j = 0; j < depth; ++j) {
        painter.drawLine(j, 0, j, H - j);
        painter.drawLine(0, j, W - j, j);
    }
    painter.restore();
}

void frmFindWindow::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    if (isMinimized())
        return;
    QPainter painter(this);
    DrawRaisedBorder(painter, size(), 3);
}

void frmFindWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        CancelButton_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmFindWindow::reject()
{
    // Esc and the frame's close button hide the window like "E&xit".
    CancelButton_Click();
}

bool frmFindWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == SQLLabel && event->type() == QEvent::MouseButtonRelease) {
        SQLLabel_Click();
        return false;
    }
    const int row = Criteria.indexOf(watched);
    if (row < 0)
        return QDialog::eventFilter(watched, event);
    auto *box = static_cast<QLineEdit *>(watched);
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter never reaches the box: it runs "&OK".
            OKButton_Click();
            return true;
        }
        const QString typed = key->text();
        if (!typed.isEmpty() && typed.at(0).isPrint() && typed.toUpper() != typed
            && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            box->insert(typed.toUpper());
            return true;
        }
    } else if (event->type() == QEvent::KeyRelease) {
        Criteria_KeyUp(row);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace filter

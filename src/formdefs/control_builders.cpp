#include "formdefs/control_builders.h"

#include "formdefs/form_loader.h"

#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/file_control.h"
#include "controls/layout_controls.h"
#include "controls/picture_controls.h"
#include "controls/record_grid.h"
#include "controls/value_controls.h"
#include "platform/colors.h"
#include "platform/convert.h"
#include "platform/form.h"
#include "platform/guard.h"

#include <QHash>
#include <QTextDocument>

namespace ControlBuilders {

namespace {

using FormValues::FilterKind;
using FormValues::Reader;

// ---- attribute names, made once ----

#define ATTRIBUTE(name) const QString name = QStringLiteral(#name)
namespace A {
ATTRIBUTE(Name);
ATTRIBUTE(Caption);
ATTRIBUTE(Left);
ATTRIBUTE(Top);
ATTRIBUTE(Width);
ATTRIBUTE(Height);
ATTRIBUTE(Color);
ATTRIBUTE(ReadOnly);
ATTRIBUTE(dbTable);
ATTRIBUTE(dbField);
ATTRIBUTE(dbFilter);
ATTRIBUTE(dbDefaultValue);
ATTRIBUTE(dbEditMask);
ATTRIBUTE(dbBeginValue);
ATTRIBUTE(AllowGrayed);
ATTRIBUTE(dbDefaultState);
ATTRIBUTE(Kind);
ATTRIBUTE(Format);
ATTRIBUTE(DateFormat);
ATTRIBUTE(dbCalendarControl);
ATTRIBUTE(dbDefaultChecked);
ATTRIBUTE(dbForeignKey);
ATTRIBUTE(dbDefaultID);
ATTRIBUTE(DropDownCount);
ATTRIBUTE(dbParentCombo);
ATTRIBUTE(dbSort);
ATTRIBUTE(DefaultRowHeight);
ATTRIBUTE(ColWidths);
ATTRIBUTE(DrawingStyle);
ATTRIBUTE(dbGeneralTable);
ATTRIBUTE(dbListFields);
ATTRIBUTE(dbListFieldsNames);
ATTRIBUTE(dbAutoExecute);
ATTRIBUTE(dbSortField);
ATTRIBUTE(dbSortAsc);
ATTRIBUTE(dbFileName);
ATTRIBUTE(Proportional);
ATTRIBUTE(Stretch);
ATTRIBUTE(Transparent);
ATTRIBUTE(dbIconName);
ATTRIBUTE(dbActionType);
ATTRIBUTE(dbReportOpenIn);
ATTRIBUTE(dbListControls);
ATTRIBUTE(dbResultControl);
ATTRIBUTE(dbFormName);
ATTRIBUTE(dbSQL);
ATTRIBUTE(dbConfirmDelete);
ATTRIBUTE(dbReportFile);
ATTRIBUTE(PageIndex);
} // namespace A
#undef ATTRIBUTE

// ---- the lists of names ----

const std::pair<const char16_t*, TActionDbType> ActionTypes[] = {
    {u"adbNone", adbNone},           {u"adbSearch", adbSearch},
    {u"adbNewRecord", adbNewRecord}, {u"adbSaveRecord", adbSaveRecord},
    {u"adbShowRecord", adbShowRecord}, {u"adbDelete", adbDelete},
    {u"adbSQL", adbSQL},             {u"adbReport", adbReport},
    {u"adbShowForm", adbShowForm},   {u"adbCloseForm", adbCloseForm},
    {u"adbGridToExcel", adbGridToExcel}};

const std::pair<const char16_t*, TReportOpenIn> ReportTargets[] = {
    {u"rpoPreview", rpoPreview}, {u"rpoPrint", rpoPrint}, {u"rpoExcel", rpoExcel},
    {u"rpoWord", rpoWord},       {u"rpoPDF", rpoPDF},     {u"rpoHTML", rpoHTML},
    {u"rpoODT", rpoODT},         {u"rpoODS", rpoODS},     {u"rpoJPEG", rpoJPEG},
    {u"rpoTIFF", rpoTIFF}};

const std::pair<const char16_t*, Qt::CheckState> CheckStates[] = {
    {u"cbChecked", Qt::Checked}, {u"cbUnchecked", Qt::Unchecked},
    {u"cbGrayed", Qt::PartiallyChecked}};

const std::pair<const char16_t*, TdbDateTimePicker::Kind> PickerKinds[] = {
    {u"dtkTime", TdbDateTimePicker::dtkTime}, {u"dtkDate", TdbDateTimePicker::dtkDate}};

const std::pair<const char16_t*, TdbDateTimePicker::DateFormat> DateFormats[] = {
    {u"dfShort", TdbDateTimePicker::dfShort}, {u"dfLong", TdbDateTimePicker::dfLong}};

const std::pair<const char16_t*, TdbStringGridEx::DrawingStyle> DrawingStyles[] = {
    {u"gdsClassic", TdbStringGridEx::gdsClassic},
    {u"gdsThemed", TdbStringGridEx::gdsThemed},
    {u"gdsGradient", TdbStringGridEx::gdsGradient}};

// ---- steps shared by the builders ----

// Creates the control inside the scope's container and registers it on the form under the
// element's Name. A refused name ends the build; the half-made control goes with it.
template <class T>
T* create(const Scope& scope, const Reader& element)
{
    auto* control = new T(scope.container);
    try {
        scope.form->addComponent(control, element.text(A::Name));
    } catch (...) {
        delete control;
        throw;
    }
    return control;
}

enum Bound { WithWidth = 1, WithHeight = 2, AllBounds = WithWidth | WithHeight };

// Left and Top always; Width and Height only for kinds that read them, the others keep the
// size the control chose.
void setBounds(QWidget* control, const Reader& element, int which = AllBounds)
{
    const int width = (which & WithWidth) ? element.integer(A::Width, 0) : control->width();
    const int height = (which & WithHeight) ? element.integer(A::Height, 0) : control->height();
    control->setGeometry(element.integer(A::Left, 0), element.integer(A::Top, 0), qMax(width, 0),
                         qMax(height, 0));
}

void setBackground(QWidget* control, const QColor& color)
{
    if (control->palette().color(QPalette::Base) == color)
        return;
    QPalette p = control->palette();
    p.setColor(QPalette::Base, color);
    control->setPalette(p);
}

// ---- data-bound elements ----

QWidget* buildButton(const Scope& scope, const Reader& e)
{
    auto* b = create<TdbButton>(scope, e);
    b->setText(e.text(A::Caption));
    b->setDbIconName(e.text(A::dbIconName));
    b->setImages(scope.context.buttonIcons);
    setBounds(b, e);
    if (const auto action = e.named(A::dbActionType, ActionTypes))
        b->dbActionType = *action;
    switch (b->dbActionType) {
    case adbReport:
        b->dbGeneralTableId = -1;
        break;
    case adbSaveRecord:
        scope.form->setDefaultButton(b);
        break;
    case adbCloseForm:
        scope.form->setCancelButton(b);
        break;
    default:
        break;
    }
    if (const auto target = e.named(A::dbReportOpenIn, ReportTargets))
        b->dbReportOpenIn = *target;
    b->dbGeneralTable = e.text(A::dbGeneralTable);
    b->dbListControls = e.text(A::dbListControls);
    b->dbListFields = e.text(A::dbListFields);
    b->dbListFieldsNames = e.text(A::dbListFieldsNames);
    b->dbResultControl = e.text(A::dbResultControl);
    b->dbFormName = e.text(A::dbFormName);
    b->dbSQL = FormValues::restoreLineBreaks(e.text(A::dbSQL));
    b->dbSortField = e.text(A::dbSortField);
    b->dbSortAsc = e.flag(A::dbSortAsc);
    b->dbConfirmDelete = e.flag(A::dbConfirmDelete);
    b->dbReportFile = e.text(A::dbReportFile);
    if (const auto& handler = scope.context.onButtonClick)
        QObject::connect(b, &QAbstractButton::clicked, b,
                         [b, handler] { guarded([&] { handler(b); }); });
    return b;
}

QWidget* buildEdit(const Scope& scope, const Reader& e)
{
    auto* edit = create<TdbEdit>(scope, e);
    setBounds(edit, e);
    edit->setReadOnly(e.flag(A::ReadOnly));
    edit->dbDefaultValue = e.text(A::dbDefaultValue);
    // A new edit box is empty already; clearing it would only lay out its text again.
    if (!edit->text().isEmpty())
        edit->clear();
    edit->setInputMask(e.text(A::dbEditMask));
    edit->dbFilter = FormValues::normalizeFilter(e.text(A::dbFilter), FilterKind::Edit);
    edit->dbTable = e.text(A::dbTable);
    edit->dbField = e.text(A::dbField);
    setBackground(edit, e.color(A::Color, Colors::WindowBackground));
    return edit;
}

QWidget* buildEditCount(const Scope& scope, const Reader& e)
{
    auto* edit = create<TdbEditCount>(scope, e);
    setBounds(edit, e);
    edit->setReadOnly(e.flag(A::ReadOnly));
    edit->dbTable = e.text(A::dbTable);
    edit->dbBeginValue = e.integer(A::dbBeginValue, 0);
    setBackground(edit, e.color(A::Color, Colors::WindowBackground));
    edit->clear();
    return edit;
}

QWidget* buildMemo(const Scope& scope, const Reader& e)
{
    auto* memo = create<TdbMemo>(scope, e);
    setBounds(memo, e);
    memo->setReadOnly(e.flag(A::ReadOnly));
    memo->dbDefaultValue = e.text(A::dbDefaultValue);
    // A new memo is empty already; clearing it would only lay out its text again.
    if (!memo->document()->isEmpty())
        memo->clear();
    memo->dbTable = e.text(A::dbTable);
    memo->dbField = e.text(A::dbField);
    setBackground(memo, e.color(A::Color, Colors::WindowBackground));
    return memo;
}

QWidget* buildCheckBox(const Scope& scope, const Reader& e)
{
    auto* box = create<TdbCheckBox>(scope, e);
    setBounds(box, e);
    box->setText(e.text(A::Caption));
    box->dbTable = e.text(A::dbTable);
    box->dbField = e.text(A::dbField);
    box->setAllowGrayed(e.flag(A::AllowGrayed));
    if (const auto state = e.named(A::dbDefaultState, CheckStates))
        box->dbDefaultState = *state;
    box->setCheckState(box->dbDefaultState);
    return box;
}

QWidget* buildDateTimePicker(const Scope& scope, const Reader& e)
{
    auto* picker = create<TdbDateTimePicker>(scope, e);
    picker->setChecked(false);
    setBounds(picker, e);
    if (const auto kind = e.named(A::Kind, PickerKinds))
        picker->setKind(*kind);
    picker->setDisplayFormat(e.text(A::Format));
    picker->dbFilter = FormValues::normalizeFilter(e.text(A::dbFilter), FilterKind::DateTimePicker);
    if (const auto format = e.named(A::DateFormat, DateFormats))
        picker->setDateFormat(*format);
    picker->dbTable = e.text(A::dbTable);
    picker->dbField = e.text(A::dbField);
    picker->dbCalendarControl = e.text(A::dbCalendarControl);
    picker->dbDefaultChecked = e.flag(A::dbDefaultChecked);
    picker->setChecked(picker->dbDefaultChecked);
    return picker;
}

QWidget* buildMonthCalendar(const Scope& scope, const Reader& e)
{
    auto* calendar = create<TdbMonthCalendar>(scope, e);
    setBounds(calendar, e);
    calendar->dbFilter = FormValues::normalizeFilter(e.text(A::dbFilter), FilterKind::MonthCalendar);
    calendar->dbTable = e.text(A::dbTable);
    calendar->dbField = e.text(A::dbField);
    return calendar;
}

QWidget* buildComboBox(const Scope& scope, const Reader& e)
{
    auto* combo = create<TdbComboBox>(scope, e);
    setBounds(combo, e);
    combo->dbForeignKey = e.text(A::dbForeignKey);
    combo->dbField = e.text(A::dbField);
    combo->dbDefaultID = e.integer(A::dbDefaultID, 0);
    combo->setMaxVisibleItems(qMax(e.integer(A::DropDownCount, 8), 0));
    combo->dbParentCombo = e.text(A::dbParentCombo);
    combo->dbSort = e.flag(A::dbSort);
    if (const auto& handler = scope.context.onComboChange)
        QObject::connect(combo, &TdbComboBox::selectionChanged, combo,
                         [combo, handler] { guarded([&] { handler(combo); }); });
    return combo;
}

QWidget* buildGrid(const Scope& scope, const Reader& e)
{
    auto* grid = create<TdbStringGridEx>(scope, e);
    setBounds(grid, e);
    grid->setDefaultRowHeight(qMax(e.integer(A::DefaultRowHeight, 18), 0));
    if (const auto style = e.named(A::DrawingStyle, DrawingStyles))
        grid->setDrawingStyle(*style);
    grid->dbGeneralTable = e.text(A::dbGeneralTable);
    grid->dbListFields = e.text(A::dbListFields);
    grid->dbListFieldsNames = e.text(A::dbListFieldsNames);
    grid->dbFilter = e.text(A::dbFilter);
    grid->dbAutoExecute = e.flag(A::dbAutoExecute);
    grid->dbSortField = e.text(A::dbSortField);
    grid->dbSortAsc = e.flag(A::dbSortAsc);
    grid->dbSQLConnection = scope.context.connection;
    // The client area is shared out among the columns the grid has now.
    const int columns = grid->colCount();
    if (columns > 0)
        grid->setDefaultColumnWidth(grid->contentsRect().width() / columns - 1);
    // Comma-separated pixel widths: dates and long names need more than an even share.
    if (const QString widths = e.text(A::ColWidths); !widths.isEmpty()) {
        QList<int> list;
        for (const QString& part : widths.split(u','))
            list.append(StrToIntDef(part.trimmed(), 0));
        grid->setDesignedColumnWidths(list);
    }
    return grid;
}

void setPictureOptions(TPictureBox* picture, const Reader& e)
{
    picture->setProportional(e.flag(A::Proportional));
    picture->setStretch(e.flag(A::Stretch));
    picture->setTransparent(e.flag(A::Transparent));
}

QWidget* buildImage(const Scope& scope, const Reader& e)
{
    auto* image = create<TdbImage>(scope, e);
    image->dbFileName = e.text(A::dbFileName);
    setPictureOptions(image, e);
    setBounds(image, e);
    return image;
}

QWidget* buildImageDataBase(const Scope& scope, const Reader& e)
{
    auto* image = create<TdbImageDataBase>(scope, e);
    image->dbTable = e.text(A::dbTable);
    image->dbField = e.text(A::dbField);
    setPictureOptions(image, e);
    setBounds(image, e);
    return image;
}

QWidget* buildFileToDatabase(const Scope& scope, const Reader& e)
{
    auto* file = create<TdbFileToDatabase>(scope, e);
    // The field keeps the standard height of a one-line edit box.
    file->resize(file->width(), file->sizeHint().height());
    setBounds(file, e, WithWidth);
    file->setImages(scope.context.buttonEdit);
    file->leftButton()->setVisible(true);
    file->rightButton()->setVisible(true);
    file->clear();
    file->dbTable = e.text(A::dbTable);
    file->dbField = e.text(A::dbField);
    file->dbSQLConnection = scope.context.connection;
    setBackground(file, e.color(A::Color, Colors::WindowBackground));
    return file;
}

// ---- layout elements ----

QWidget* buildLabel(const Scope& scope, const Reader& e)
{
    auto* label = create<TdbLabel>(scope, e);
    // Sized once, when the font is final (fitLabel).
    label->setAutoSize(false);
    label->setCaption(e.text(A::Caption));
    setBounds(label, e, WithHeight);
    return label;
}

// A label takes the size of its caption once, in its final font: measuring a text lays it
// out, which costs more than making the label.
void fitLabel(QWidget* control)
{
    static_cast<TdbLabel*>(control)->setAutoSize(true);
}

QWidget* buildPanel(const Scope& scope, const Reader& e)
{
    auto* panel = create<TdbPanel>(scope, e);
    setBounds(panel, e);
    panel->setColor(e.color(A::Color, Colors::ButtonFace));
    panel->setFocusPolicy(Qt::NoFocus);
    return panel;
}

QWidget* buildGroupBox(const Scope& scope, const Reader& e)
{
    auto* box = create<TdbGroupBox>(scope, e);
    box->setTitle(e.text(A::Caption));
    setBounds(box, e);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QWidget* buildPageControl(const Scope& scope, const Reader& e)
{
    auto* pages = create<TdbPageControl>(scope, e);
    setBounds(pages, e);
    return pages;
}

// A page exists only inside a page control; elsewhere the element builds nothing.
QWidget* buildTabSheet(const Scope& scope, const Reader& e)
{
    auto* pages = qobject_cast<TdbPageControl*>(scope.parent);
    if (!pages)
        return nullptr;
    auto* sheet = create<TdbTabSheet>(scope, e);
    sheet->setCaption(e.text(A::Caption));
    sheet->setPageIndex(e.integer(A::PageIndex, 0));
    pages->arrangeByPageIndex();
    return sheet;
}

// ---- the registry ----

Kind dataBound(Build build, int weight = 1)
{
    Kind k{build};
    k.font = k.tab = k.windowed = true;
    k.weight = weight;
    return k;
}

QHash<QString, Kind> makeRegistry()
{
    QHash<QString, Kind> r;
    r.insert(QStringLiteral("TdbButton"), dataBound(buildButton));
    r.insert(QStringLiteral("TdbEdit"), dataBound(buildEdit));
    r.insert(QStringLiteral("TdbEditCount"), dataBound(buildEditCount));
    r.insert(QStringLiteral("TdbMemo"), dataBound(buildMemo, 3));
    r.insert(QStringLiteral("TdbCheckBox"), dataBound(buildCheckBox));
    r.insert(QStringLiteral("TdbDateTimePicker"), dataBound(buildDateTimePicker, 2));
    Kind calendar = dataBound(buildMonthCalendar, 20);
    calendar.font = false;
    r.insert(QStringLiteral("TdbMonthCalendar"), calendar);
    r.insert(QStringLiteral("TdbComboBox"), dataBound(buildComboBox, 3));
    r.insert(QStringLiteral("TdbStringGrid"), dataBound(buildGrid, 10));
    r.insert(QStringLiteral("TdbImage"), Kind{buildImage});
    r.insert(QStringLiteral("TdbImageDataBase"), Kind{buildImageDataBase});
    r.insert(QStringLiteral("TdbFileToDatabase"), dataBound(buildFileToDatabase, 4));
    Kind label{buildLabel, fitLabel};
    label.font = label.label = true;
    r.insert(QStringLiteral("TdbLabel"), label);
    Kind panel{buildPanel};
    panel.tab = panel.windowed = panel.panel = true;
    r.insert(QStringLiteral("TdbPanel"), panel);
    Kind group = dataBound(buildGroupBox);
    group.panel = true;
    r.insert(QStringLiteral("TdbGroupBox"), group);
    r.insert(QStringLiteral("TdbPageControl"), dataBound(buildPageControl));
    Kind sheet{buildTabSheet};
    sheet.windowed = true;
    sheet.anchors = false;
    r.insert(QStringLiteral("TdbTabSheet"), sheet);
    return r;
}

} // namespace

const Kind* find(const QString& elementName)
{
    static const QHash<QString, Kind> registry = makeRegistry();
    const auto it = registry.constFind(elementName);
    return it == registry.constEnd() ? nullptr : &it.value();
}

} // namespace ControlBuilders

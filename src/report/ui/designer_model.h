#pragma once

#include "report/engine/report_parameters.h"
#include "report/engine/template.h"

#include <QRectF>
#include <QStringList>
#include <optional>
#include <vector>

class ReportDataset;

// A band of a template: its kind and, for group headers and footers, the group (outermost 0).
struct BandRef {
    BandKind kind = BandKind::Detail;
    int group = -1;
    bool operator==(const BandRef&) const = default;
};

// An object by its band and its place in the band's list (later objects are drawn on top).
struct ObjectRef {
    BandRef band;
    int index = -1;
    bool operator==(const ObjectRef&) const = default;
};

// What the author selected: objects (the first is the one the others are aligned to), or one
// band, or nothing (the page).
struct DesignerSelection {
    std::vector<ObjectRef> objects;
    std::optional<BandRef> band;

    bool isEmpty() const { return objects.empty() && !band; }
    bool contains(const ObjectRef& ref) const;
    static DesignerSelection ofObjects(std::vector<ObjectRef> refs);
    static DesignerSelection ofBand(const BandRef& band);
    bool operator==(const DesignerSelection&) const = default;
};

// The bands as they are shown and printed: title, page header, group headers outer to inner,
// detail, group footers inner to outer, page footer, summary.
std::vector<BandRef> bandsInOrder(const ReportTemplate& t);
Band* findBand(ReportTemplate& t, const BandRef& ref);
const Band* findBand(const ReportTemplate& t, const BandRef& ref);
ReportObject* findObject(ReportTemplate& t, const ObjectRef& ref);
const ReportObject* findObject(const ReportTemplate& t, const ObjectRef& ref);
QString bandTitle(const ReportTemplate& t, const BandRef& ref);
// The refs that still name objects of t, in their order.
DesignerSelection validSelection(const ReportTemplate& t, const DesignerSelection& selection);

// A band of a kind that stands once (not a group band); an existing one is left alone.
void addBand(ReportTemplate& t, BandKind kind);
// Adds a group inside the innermost one, with a header and a footer; returns its index.
int addGroup(ReportTemplate& t, const QString& expression);
// Adds the missing header or footer of a group.
void addGroupBand(ReportTemplate& t, int group, BandKind kind);
// A group left without header and footer goes too: nothing of it would be left to see.
void removeBand(ReportTemplate& t, const BandRef& ref);

// Lengths the designer makes are kept to hundredths of a millimetre, so that steps of 0.1 mm
// add up to the numbers the author expects in the file.
double hundredths(double mm);
QRectF hundredths(const QRectF& rect);

// What a new object of a kind looks like before the author sizes it.
ReportObject newObject(ObjectKind kind, const QRectF& rect);
QString objectKindName(ObjectKind kind);
// A new sub-report: a name no other sub-report has, a query to replace and a detail band that
// shows its one field, so that the preview shows where its rows go.
void startSubreport(const ReportTemplate& t, ReportObject& o);

// Moves objects into another band (appended, in the given order); returns their new refs.
std::vector<ObjectRef> moveToBand(ReportTemplate& t, const std::vector<ObjectRef>& refs, const BandRef& target,
                                  double dy);
// Deletes objects; refs stay valid because they are removed from the last one backwards.
void deleteObjects(ReportTemplate& t, std::vector<ObjectRef> refs);
// Puts objects on top of (front) or below (back) the others of their band; returns new refs.
std::vector<ObjectRef> restack(ReportTemplate& t, const std::vector<ObjectRef>& refs, bool front);
// Adds copies of objects to a band; returns their refs.
std::vector<ObjectRef> pasteObjects(ReportTemplate& t, const BandRef& band, const std::vector<ReportObject>& objects);

enum class AlignEdge { Left, Right, Top, Bottom, Width, Height };
// Lines up the objects with the first of them.
void alignObjects(ReportTemplate& t, const std::vector<ObjectRef>& refs, AlignEdge edge);

// A sub-report renamed from one name to another: its texts, values, conditions and the values
// of the sub-reports standing in its bands call its rows by the new name (To.field for
// From.field); quoted texts and words outside a text's [expressions] are left as they are.
void renameSubreportFields(Subreport& sub, const QString& from, const QString& to);
// What the file takes as a sub-report's name: letters, digits and _, not starting with a digit.
bool validSubreportName(const QString& name);
// The same within one expression (embedded: a text with [expressions]).
QString renamedFields(const QString& text, bool embedded, const QString& from, const QString& to);

// A field as an expression: Report.name, or Report."odd name" when the name needs quotes.
QString fieldExpression(const QString& dataset, const QString& field);

// The first fault of an expression (bare) or of a text with embedded [expressions], with its
// place in the text (0-based, -1 when the fault has no place). Fields are checked against the
// data when it has columns; without columns any field name is taken. Param.name is known when
// the report's parameters are given.
struct ExpressionProblem {
    QString message;
    int position = -1;
};
std::optional<ExpressionProblem> checkExpression(const QString& text, bool embedded, const ReportDataset* data,
                                                 const QStringList& groupNames, const ParameterValues* parameters = nullptr);

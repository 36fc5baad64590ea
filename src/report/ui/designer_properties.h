#pragma once

#include "report/ui/designer_model.h"

#include <QColor>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

// One property the panel shows: what it is called, how it is edited, which objects have it,
// and how it is read from and written into the template.
struct DesignerProperty {
    // Sql: several lines, edited in the SQL editor; File: a file name with a browse button.
    // Dialog: shown as a summary on one line, edited in a window of its own (parameters, rules).
    enum class Editor { Text, Mm, Points, Bool, Choice, Color, Font, Expression, TextExpression, Sql, File, Dialog };
    enum class Scope { Page, Band, Group, Object };
    struct Target {
        ObjectRef object;
        BandRef band;
    };

    QString key;
    const char* caption = "";
    Editor editor = Editor::Text;
    Scope scope = Scope::Object;
    std::vector<const char*> choices;
    std::function<bool(ObjectKind)> applies; // objects only
    std::function<QVariant(const ReportTemplate&, const Target&)> get;
    std::function<void(ReportTemplate&, const Target&, const QVariant&)> set;
};

// Every property of the page, the bands, the groups and the objects.
const std::vector<DesignerProperty>& designerProperties();
// What the panel shows for a selection: the page when nothing is selected, a band (and its
// group), or the properties of the first selected object. The bands of a sub-report (the
// template is one of its level) take no columns.
std::vector<const DesignerProperty*> propertiesFor(const ReportTemplate& t, const DesignerSelection& selection,
                                                   bool inSubreport = false);
// Writes a property into every selected object that has it (or the band, group, page).
void applyProperty(ReportTemplate& t, const DesignerSelection& selection, const DesignerProperty& property,
                   const QVariant& value);
QVariant propertyValue(const ReportTemplate& t, const DesignerSelection& selection, const DesignerProperty& property);

// A colour as the panel shows it: "#rrggbb", "#aarrggbb" when not opaque, empty for none.
QVariant colorValue(const QColor& c);

#pragma once

#include <QString>
#include <functional>

struct FormsElement;
class QWidget;
class SqlConnection;
class TdbButton;
class TdbComboBox;
class TForm;
class TImageList;

// What the form builder takes from the application's main window: the form it reconfigures,
// the handlers it wires into the built controls and the objects it hands to them.
struct FormBuildContext {
    TForm* mainForm = nullptr;
    std::function<void(TdbButton*)> onButtonClick;
    std::function<void(TdbComboBox*)> onComboChange;
    std::function<void(TForm*)> onFormShow;
    TImageList* buttonIcons = nullptr;
    TImageList* buttonEdit = nullptr;
    SqlConnection* connection = nullptr;
};

// Builds all forms and controls described by forms.xml: the first form element reconfigures
// the main form, every further one creates a new hidden form. Errors propagate; forms and
// controls built before an error remain.
void LoadForms(const FormBuildContext& context, const QString& fileName);

// Builds the child elements of element as controls inside parent (a form or a windowed
// control owned by a form), then applies their tab order.
void BuildControls(const FormBuildContext& context, QWidget* parent, const FormsElement& element);

#pragma once

#include "formdefs/form_loader.h"

#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "platform/form.h"
#include "platform/image_list.h"
#include "support/temp_project.h"

#include <QApplication>
#include <QList>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// A main form as the shell makes it (registered first, owning components of its own) and a
// project folder to write forms.xml into. Every form built during a test is deleted after it.
class FormsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        mainForm = new TForm();
        mainForm->setFormName(QStringLiteral("frmMainVarnel"));
        Forms::registerForm(mainForm);
        icons = new TImageList(16, 16, mainForm);
        editImages = new TImageList(16, 16, mainForm);
        mainForm->addComponent(icons, QStringLiteral("ImageListButtonIcons"));
        mainForm->addComponent(editImages, QStringLiteral("ImageListButtonEdit"));

        context.mainForm = mainForm;
        context.buttonIcons = icons;
        context.buttonEdit = editImages;
        context.connection = reinterpret_cast<SqlConnection*>(&connectionStandIn);
        context.onButtonClick = [this](TdbButton* b) { clicks.append(b); };
        context.onComboChange = [this](TdbComboBox* c) { comboChanges.append(c); };
        context.onFormShow = [this](TForm* f) { shown.append(f); };
    }

    void TearDown() override
    {
        qDeleteAll(Forms::all());
        QApplication::processEvents();
    }

    void load(const QString& xml)
    {
        project.write(QStringLiteral("forms.xml"), xml);
        LoadForms(context, project.file(QStringLiteral("forms.xml")));
    }

    static TForm* form(const char* name) { return Forms::find(QString::fromLatin1(name)); }

    // A control looked up by name through its form, as the actions do.
    template <class T = QWidget>
    static T* control(const char* formName, const char* name)
    {
        TForm* f = form(formName);
        return f ? qobject_cast<T*>(f->findComponent(QString::fromLatin1(name))) : nullptr;
    }

    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

    TempProject project;
    TForm* mainForm = nullptr;
    TImageList* icons = nullptr;
    TImageList* editImages = nullptr;
    int connectionStandIn = 0; // only its address is handed on
    FormBuildContext context;
    QList<TdbButton*> clicks;
    QList<TdbComboBox*> comboChanges;
    QList<TForm*> shown;
};

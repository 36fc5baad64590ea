// Feeds arbitrary bytes to forms.xml handling as start-up does: the reader (with its depth and
// element caps) and the form builder with a main form as the shell makes it. Every form that
// was built is then shown, laid out and painted offscreen, and closed again. A refusal is a
// VarnelError; nothing may crash, and the builder's weight cap keeps every input small enough
// to build.

#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "formdefs/form_loader.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/image_list.h"
#include "platform/sql_connection.h"
#include "project_harness.h"

#include <QPixmap>

namespace {

QString formsFile()
{
    return ExeFolder() + QStringLiteral("forms.xml");
}

SqlConnection& connection()
{
    static SqlConnection db;
    return db;
}

// A main form with the two image lists the builder hands to buttons, as the shell makes it.
TForm* makeMainForm()
{
    auto* main = new TForm();
    main->setFormName(QStringLiteral("frmMainVarnel"));
    Forms::registerForm(main);
    for (const char* name : {"ImageListButtonIcons", "ImageListButtonEdit"}) {
        auto* images = new TImageList(16, 16, main);
        QPixmap picture(16, 16);
        picture.fill(Qt::darkGreen);
        images->add(picture);
        images->add(picture);
        main->addComponent(images, QString::fromLatin1(name));
    }
    return main;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    connection().open(startOffscreenProject(argc, argv) + QStringLiteral("/fuzz.db"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!writeInput(formsFile(), data, size))
        return 0;

    TForm* main = makeMainForm();
    FormBuildContext context;
    context.mainForm = main;
    context.buttonIcons =
        qobject_cast<TImageList*>(main->findComponent(QStringLiteral("ImageListButtonIcons")));
    context.buttonEdit =
        qobject_cast<TImageList*>(main->findComponent(QStringLiteral("ImageListButtonEdit")));
    context.connection = &connection();
    context.onButtonClick = [](TdbButton*) {};
    context.onComboChange = [](TdbComboBox*) {};
    context.onFormShow = [](TForm*) {};
    try {
        LoadForms(context, formsFile());
    } catch (const VarnelError&) {
    }
    for (TForm* form : Forms::all()) {
        form->show();
        QApplication::processEvents();
        form->grab();
        form->hide();
    }
    qDeleteAll(Forms::all());
    QApplication::processEvents();
    return 0;
}

// The demo's windows made as small as the user can make them.
#include "app_fixture.h"

#include <QFile>
#include <QHash>
#include <QTest>

namespace {
QByteArray demoFile(const char* name)
{
    QFile f(QStringLiteral(VARNEL_SOURCE_DIR "/examples/demo/") + QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

// Every sizeable form of the demo, shrunk as far as it goes, keeps the controls that lie apart
// as designed apart: no button comes over another, none leaves its parent at the left or top.
TEST(DemoLayout, EverySizeableFormShrunkAsFarAsItGoesKeepsItsControlsApart)
{
    RunningApp app(demoFile("tables.ini"), demoFile("forms.xml"));
    ASSERT_TRUE(app.desk.messages.empty()) << app.desk.texts().join("|").toStdString();
    int checked = 0;
    for (TForm* form : Forms::all()) {
        if (!form->isSizeable())
            continue;
        SCOPED_TRACE(form->formName().toStdString());
        const QList<QWidget*> controls = form->componentsOf<QWidget>();
        QHash<QWidget*, QRect> designed;
        for (QWidget* w : controls)
            designed.insert(w, w->geometry());
        form->show();
        QApplication::processEvents();
        form->resize(1, 1);
        QApplication::processEvents();
        EXPECT_GT(form->width(), 1);
        EXPECT_GT(form->height(), 1);
        for (QWidget* a : controls) {
            if (!a->isVisibleTo(form) || a->parentWidget() == form)
                continue;
            EXPECT_GE(a->x(), 0) << a->objectName().toStdString();
            EXPECT_GE(a->y(), 0) << a->objectName().toStdString();
            for (QWidget* b : controls) {
                if (a >= b || b->parentWidget() != a->parentWidget() || !b->isVisibleTo(form)
                    || designed[a].intersects(designed[b]))
                    continue;
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " over " << b->objectName().toStdString();
            }
        }
        if (qEnvironmentVariableIsSet("VARNEL_SHOTS"))
            form->grab().save(qEnvironmentVariable("VARNEL_SHOTS") + "/demo_shrunk_" + form->formName() + ".png");
        form->hide();
        ++checked;
    }
    EXPECT_GE(checked, 5);
}

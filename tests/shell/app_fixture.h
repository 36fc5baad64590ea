#pragma once

#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/record_grid.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"
#include "catalogue/catalogue.h"
#include "catalogue/letter_case.h"
#include "platform/wide_text.h"
#include "platform/sql_dialect.h"
#include "support/backends.h"
#include "support/scripted_desktop.h"
#include "support/temp_project.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <map>

// A project folder with the given tables.ini and forms.xml, started as the program starts it,
// with every statement recorded. On PostgreSQL the project's settings.ini names a fresh
// database on the tests' server.
class RunningApp {
public:
    // beforeStart scripts the desktop for what start-up asks.
    RunningApp(const QByteArray& tablesIni, const QByteArray& formsXml,
               Backend backend = Backend::SQLite,
               const std::function<void(ScriptedDesktop&)>& beforeStart = {})
        : desk(ScriptedDesktop::install())
    {
        if (backend == Backend::PostgreSQL)
            server = std::make_unique<PgTestDatabase>();
        start(tablesIni, formsXml, server ? server->conninfo() : QString(), beforeStart);
    }
    // Started on a database that exists already: settings.ini names it.
    RunningApp(const QByteArray& tablesIni, const QByteArray& formsXml, const QString& database,
               const std::function<void(ScriptedDesktop&)>& beforeStart = {})
        : desk(ScriptedDesktop::install())
    {
        start(tablesIni, formsXml, database, beforeStart);
    }
    ~RunningApp() { TForm::setModalHook(nullptr); }

    SqlConnection& db() { return main->connection(); }
    bool onServer() const { return main->connection().isServer(); }
    // Runs statements that write rows with ids of their own, as a test's starting rows; then
    // every table's id counter goes past the ids written.
    void load(const QString& sql)
    {
        db().execute(sql);
        for (const QString& line : FieldCatalogue()) {
            const QString table = line.left(line.indexOf(u'='));
            const QString realign = db().dialect().idCounterPastLargest(table);
            if (!realign.isEmpty())
                db().execute(realign);
        }
    }
    // As on a database made before letters could be kept as typed: it holds no switch, and the
    // program follows the wide-character rule, as it does when it opens such a database.
    void useDatabaseMadeBefore()
    {
        db().execute("DROP TABLE " + db().dialect().name("varnel_options"));
        SetLettersKeptAsTyped(ReadLettersAsTyped(db()));
    }
    TForm* form(const QString& name) { return Forms::find(name); }
    template <class T>
    T* control(const QString& formName, const QString& name)
    {
        TForm* f = form(formName);
        return f ? qobject_cast<T*>(f->findComponent(name)) : nullptr;
    }
    // Clicks a button as the user does (through the toolkit and the guard).
    void click(const QString& formName, const QString& name)
    {
        TdbButton* b = control<TdbButton>(formName, name);
        ASSERT_NE(b, nullptr) << name.toStdString();
        b->click();
    }
    // Runs the action for the named form each time it is shown modally.
    void onModal(const QString& formName, std::function<void(TForm*)> action)
    {
        modalActions[formName] = std::move(action);
    }
    QStringList statementsFrom(qsizetype first) const { return statements.mid(first); }
    QList<QStringList> rows(const QString& sql)
    {
        QList<QStringList> out;
        for (const auto& row : db().query(sql).rows) {
            QStringList r;
            for (const SqlValue& v : row)
                r.append(v.isNull() ? QStringLiteral("<null>") : v.toText());
            out.append(r);
        }
        return out;
    }

    TempProject project;
    std::unique_ptr<PgTestDatabase> server;
    ScriptedDesktop& desk;
    std::unique_ptr<TfrmMainVarnel> main;
    std::unique_ptr<TfrmOptionsVarnel> options;
    QStringList statements;
    std::map<QString, std::function<void(TForm*)>> modalActions;

private:
    void start(const QByteArray& tablesIni, const QByteArray& formsXml, const QString& database,
               const std::function<void(ScriptedDesktop&)>& beforeStart)
    {
        if (beforeStart)
            beforeStart(desk);
        project.write("tables.ini", tablesIni);
        project.write("forms.xml", formsXml);
        if (!database.isEmpty())
            project.write("settings.ini", "[Options]\nserver=" + database.toUtf8() + "\n");
        main = std::make_unique<TfrmMainVarnel>();
        options = std::make_unique<TfrmOptionsVarnel>(main->mniReport);
        main->setOptionsDialog(options.get());
        main->connection().setObserver([this](const QString& sql) { statements.append(sql); });
        // A form shown modally without an action for it closes at once: no test can block.
        TForm::setModalHook([this](TForm* shown) {
            const auto it = modalActions.find(shown->formName());
            if (it != modalActions.end())
                it->second(shown);
            else
                shown->closeForm();
        });
        guarded([this] { main->FormShow(); });
    }
};

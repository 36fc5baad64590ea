#pragma once

#include "report/engine/dataset.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <memory>

class QObject;
class Report;
class QWidget;
class SqlConnection;
class SqlDialect;
class TForm;
class TdbButton;
class TdbComboBox;
class TdbStringGridEx;

// What the action buttons do, and the operations that load records into forms and fill the
// dictionaries. One instance serves the whole application; every statement runs on the one
// connection. Errors are not caught here: they end the action where they occur and reach the
// guard that the toolkit called us through.
class TRecordActions {
public:
    TRecordActions(SqlConnection& connection, TForm& mainForm);
    ~TRecordActions();

    // ---- the dispatcher ----
    void OnButtonClick(TdbButton* button);

    // ---- loading a record ----
    // Loads record id of the button's table into the form the button names, shows it modally
    // and returns the form's hint text (the table saved from it) once it has closed.
    QString FillForm(qint32 id, TdbButton* button);
    // Sets the buttons of form for record id of table, loading no data.
    void FillForm2(qint32 id, TForm* form, const QString& table);

    // ---- dictionaries ----
    void FillDictionaries(const QString& tableName);
    void OnComboChange(TdbComboBox* sender);
    void SetLinkedComboBoxValue(TdbComboBox* child, qint32 itemId);
    static TdbComboBox* FindChildCombo(TdbComboBox* combo);

    // ---- unsaved edits ----
    // Remembers the form's data controls as they are now: filled, or just saved.
    void markClean(TForm* form);
    // Whether the form may close: yes when nothing was changed since it was filled or saved;
    // otherwise the user chooses to save (the form stays open when that fails), to discard the
    // changes, or to go back to the form.
    bool mayClose(TForm* form);

    // ---- the single actions ----
    void search(TdbButton* b);
    void showForm(TdbButton* b);
    void closeForm(TdbButton* b);
    void newRecord(TdbButton* b);
    void showRecord(TdbButton* b);
    void deleteRecord(TdbButton* b);
    void sqlAction(TdbButton* b);
    // Copies everything the grid shows, titles included, into a new workbook and opens it.
    void gridToSpreadsheet(TdbButton* b);
    // Inserts or updates the record shown on the button's form.
    enum class Saved { Nothing, Inserted, Updated };
    Saved saveRecord(TdbButton* b);
    // Fills the button's report template with the rows of its query and sends the pages to
    // the button's target.
    void reportAction(TdbButton* b);

    // The statement text of an SQL button with its placeholders replaced by the values of
    // the controls on its form; storedTexts passes edit texts through ToStoredText.
    static QString substitutePlaceholders(TdbButton* b, bool storedTexts);
    static QString substitutePlaceholders(TdbButton* b, QString text, bool storedTexts);

    // The statements the actions would run now, built and not run, for checking them
    // against the database. Author SQL is returned as written, before AuthorSql.
    // An SQL button's statement: "$id" and the placeholders replaced.
    static QString sqlActionText(TdbButton* b);
    // A report button's query: "$id" and the placeholders replaced (texts as typed).
    static QString reportQueryText(TdbButton* b);
    // The same replacements in another query text (a template's own query).
    static QString reportQueryText(TdbButton* b, const QString& query);
    // The search button's result grid, given the button's search without running it. Throws
    // ComponentError when the form has no record grid of that name.
    static TdbStringGridEx* prepareSearch(TdbButton* b);
    // What a dictionary box selects when the dictionaries are filled; empty when it selects
    // nothing.
    static QString dictionaryStatement(const SqlDialect& d, const TdbComboBox* box);
    // What a linked box selects when its parent box shows record parentId.
    static QString childDictionaryStatement(const SqlDialect& d, const TdbComboBox* child,
                                            const TdbComboBox* parent, qint32 parentId);

    // The report and the dataset "Report" that every report button shares; the dataset keeps
    // the rows of the last query until a later report replaces them.
    Report& report() { return *m_report; }
    ReportDataset& reportData() { return *m_reportData; }
    // Runs a template's own query for the designer, with the button's "$id" and placeholders
    // replaced while the button exists (none without a button).
    ReportQueryRunner reportQueryRunner(TdbButton* b);

private:
    // Loads record id of table g into the form's controls (no showing). opener is the button
    // that opened the form; without one the form's links to a parent record stay as they are.
    void fillControls(TForm* form, const QString& g, qint32 id, TdbButton* opener);

    // What each form last read or wrote of the record it shows, so that a save sees whether
    // another user changed the row since.
    struct LoadedRow {
        qint32 id = -1;
        QByteArray fingerprint;
    };
    void rememberRow(const TForm* form, const QString& table, qint32 id, const QByteArray& fingerprint);
    void forgetRow(const TForm* form, const QString& table);
    const LoadedRow* loadedRow(const TForm* form, const QString& table) const;
    QHash<QPair<const TForm*, QString>, LoadedRow> m_loadedRows;
    // Each record form's controls as they were when it was filled or last saved.
    QHash<const TForm*, QStringList> m_cleanState;

    // One attempt at the save; overwrite skips the check for other users' changes.
    enum class Written { Nothing, Inserted, Updated, ChangedByOther, DeletedByOther };
    Written writeRecord(TdbButton* b, bool overwrite);

    // Saves the record of the button's form so that a child record can refer to it.
    // False when nothing was saved.
    bool saveParentRecord(TForm* form);
    void refreshDependentGrids(TForm* form, const QString& table, TdbButton* parentLinkFrom);
    // The delete question for the grid's record id: which record, and the rows of other
    // tables that its deletion takes with it.
    QString deleteQuestion(TdbStringGridEx* grid, qint32 id);
    static TdbStringGridEx* resultGrid(TdbButton* b);
    // Runs the report's query into the dataset "Report".
    // stream: the rows are read as the report is made (a run that reads them once) and kept
    // aside for a later report without a query of its own. params: the report's parameters,
    // bound to the query's ":name".
    void fillReportData(const QString& sql, bool stream, const SqlParams& params = {});
    void inform(const QString& caption, const QString& text) const;
    // Opens a file that an action has just written with the desktop's program for its kind.
    // Where there is none, or it does not start, notice tells where the file is and the user may
    // save a copy where he chooses, under proposedName at first.
    void openWrittenFile(const QString& caption, const QString& file, const QString& notice,
                         const QString& proposedName);

    SqlConnection& m_db;
    TForm& m_main;
    std::unique_ptr<ReportDataset> m_reportData;
    std::unique_ptr<Report> m_report;
    bool m_reportRunning = false;
    // Where the user last saved a copy of a written file, for the rest of the session.
    QString m_copyFolder;
};

// Feeds arbitrary bytes to tables.ini handling as start-up does: the INI reader with its
// encodings, the catalogue, the CREATE TABLE script and the catalogue's lookups. Nothing may
// crash; writing the INI back and reading it again must give the same sections and keys.

#include "catalogue/catalogue.h"
#include "catalogue/schema.h"
#include "platform/errors.h"
#include "platform/ini_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>

namespace {
QString tablesFile()
{
    static const QString path = QDir::tempPath() + QStringLiteral("/varnel_tables_fuzz_%1.ini")
                                                       .arg(QCoreApplication::applicationPid());
    return path;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const IniFile ini = IniFile::fromText(IniFile::decode(bytes));
    const IniFile again = IniFile::fromText(ini.toText());
    if (again.sections() != ini.sections())
        std::abort();
    for (const QString& section : ini.sections())
        if (again.keys(section) != ini.keys(section))
            std::abort();

    QFile file(tablesFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(bytes);
    file.close();
    try {
        LoadTables(tablesFile());
        const QStringList script = GetCreateTableScript(tablesFile());
        for (const QString& table : ini.sections()) {
            const QString list = GetFieldList(table);
            ExpandCalcFields(list, true);
            ExpandCalcFields(list, false);
            GetJoinTables(table, list);
        }
        (void)script;
    } catch (const VarnelError&) {
    }
    FreeCatalogue();
    return 0;
}

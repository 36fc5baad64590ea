// The report engine's folders include only downwards: engine (platform and Qt Gui), export
// (engine), ui (engine and export), the facade above them all; neither engine nor export
// includes a widget. An include that runs the wrong way fails here, naming the file and line.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct Room {
    const char* folder;
    QStringList mayInclude; // prefixes of the project's own headers
    bool widgets;           // Qt Widgets and Qt Print Support
};

// The Qt modules that bring widgets along.
bool isWidgetHeader(const QString& header)
{
    const QString qtHeaders = QLibraryInfo::path(QLibraryInfo::HeadersPath);
    for (const char* module : {"QtWidgets", "QtPrintSupport"})
        if (QFileInfo::exists(qtHeaders + u'/' + QLatin1StringView(module) + u'/' + QFileInfo(header).fileName())
            || header.startsWith(QLatin1StringView(module) + u'/'))
            return true;
    return false;
}

} // namespace

TEST(ReportRooms, IncludesRunOnlyDownwards)
{
    ASSERT_TRUE(QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::HeadersPath) + QStringLiteral("/QtWidgets/QWidget")))
        << "the Qt Widgets headers are needed to tell widget headers apart";
    const QString src = QStringLiteral(VARNEL_SOURCE_DIR "/src/");
    const Room rooms[] = {
        {"report/engine", {"platform/", "report/engine/"}, false},
        {"report/export", {"platform/", "report/engine/", "report/export/"}, false},
        {"report/ui", {"platform/", "report/engine/", "report/export/", "report/ui/"}, true},
    };
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*([<\"])([^>\"]+)[>\"]"));
    int files = 0;
    for (const Room& room : rooms) {
        QDirIterator it(src + QLatin1StringView(room.folder), {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            ++files;
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
            int line = 0;
            while (!file.atEnd()) {
                ++line;
                const QRegularExpressionMatch m = include.match(QString::fromUtf8(file.readLine()));
                if (!m.hasMatch())
                    continue;
                const QString header = m.captured(2);
                const QString where = QDir(src).relativeFilePath(path) + u':' + QString::number(line) + QStringLiteral(": ");
                if (m.captured(1) == u"\"") {
                    const bool allowed = std::any_of(room.mayInclude.begin(), room.mayInclude.end(),
                                                     [&](const QString& prefix) { return header.startsWith(prefix); });
                    EXPECT_TRUE(allowed) << (where + header).toStdString();
                } else if (!room.widgets) {
                    EXPECT_FALSE(isWidgetHeader(header)) << (where + header).toStdString();
                }
            }
        }
    }
    EXPECT_GT(files, 40);
}

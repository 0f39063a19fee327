#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include "data/transfer/ItemImport.h"

// Every window of the program that shows a title has its place in the user
// guide, which names it by that title in italics (*Tests Due*). The windows
// are found in the sources: every class derived, directly or through a
// window base such as PickerWindow, from QDialog or QMainWindow.
namespace {

const QString kSourceDir = QStringLiteral(QUARVEL_SOURCE_DIR);

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

struct WindowClass {
    QString name;
    QString base;
    QString header;
};

QHash<QString, WindowClass> classesWithBases() {
    static const QRegularExpression declaration(
        QStringLiteral("\\bclass\\s+(\\w+)\\s*(?:final\\s*)?:\\s*public\\s+(\\w+)"));
    QHash<QString, WindowClass> classes;
    QDirIterator headers(kSourceDir + QStringLiteral("/src"), {QStringLiteral("*.h")}, QDir::Files,
                         QDirIterator::Subdirectories);
    while (headers.hasNext()) {
        const QString path = headers.next();
        auto matches = declaration.globalMatch(readText(path));
        while (matches.hasNext()) {
            const auto m = matches.next();
            classes.insert(m.captured(1), {m.captured(1), m.captured(2), path});
        }
    }
    return classes;
}

bool isWindow(const QHash<QString, WindowClass>& classes, QString name) {
    for (int depth = 0; depth < 10 && classes.contains(name); ++depth) {
        name = classes.value(name).base;
        if (name == QLatin1String("QDialog") || name == QLatin1String("QMainWindow"))
            return true;
    }
    return false;
}

// The title a window's source gives it; none when the source says it in a
// way this scan does not know.
std::optional<QString> titleIn(const QString& source, const QString& className) {
    const QString literal = QStringLiteral("QStringLiteral\\(\"([^\"]*)\"\\)");
    const QString patterns[] = {
        QStringLiteral("setUpWindow\\(this,\\s*") + literal,
        QStringLiteral("setWindowTitle\\(") + literal,
        // A picker's layout: its object name, then its title.
        QStringLiteral("\\{\"%1\",\\s*").arg(className) + literal,
    };
    for (const QString& pattern : patterns) {
        const auto m = QRegularExpression(pattern).match(source);
        if (m.hasMatch())
            return m.captured(1);
    }
    return std::nullopt;
}

}  // namespace

class TestGuideWindows : public QObject {
    Q_OBJECT

private slots:
    void theGuideNamesEveryWindowByItsTitle() {
        // A title may be broken over two lines of the guide's text.
        const QString guide =
            readText(kSourceDir + QStringLiteral("/docs/user-guide.md")).simplified();
        QVERIFY2(!guide.isEmpty(), "docs/user-guide.md cannot be read");
        const QHash<QString, WindowClass> classes = classesWithBases();
        QSet<QString> windowBases;
        for (const WindowClass& c : classes) {
            if (isWindow(classes, c.name) && isWindow(classes, c.base))
                windowBases.insert(c.base);
        }

        QStringList found, missing;
        for (const WindowClass& c : classes) {
            if (!isWindow(classes, c.name) || windowBases.contains(c.name))
                continue;
            found << c.name;
            QString cpp = c.header;
            cpp.replace(QRegularExpression(QStringLiteral("\\.h$")), QStringLiteral(".cpp"));
            const QString source = readText(cpp);
            const std::optional<QString> title = titleIn(source, c.name);
            QVERIFY2(title,
                     qPrintable(QStringLiteral("The window title of %1 cannot be found in %2")
                                    .arg(c.name, cpp)));
            // A blank title, or a window without a frame, shows no title.
            if (title->trimmed().isEmpty() || source.contains(QLatin1String("FramelessWindowHint")))
                continue;
            if (!guide.contains(QLatin1Char('*') + *title + QLatin1Char('*')))
                missing << QStringLiteral("\"%1\" (%2)").arg(*title, c.name);
        }
        // The scan must see the windows it is meant to see.
        for (const char* known : {"frmMain", "frmItemView", "frmItemPicker", "frmTestsDue"})
            QVERIFY2(found.contains(QLatin1String(known)), known);
        missing.sort();
        QVERIFY2(
            missing.isEmpty(),
            qPrintable(QStringLiteral("The user guide (docs/user-guide.md) names these windows "
                                      "nowhere; name each by its title in italics, as "
                                      "*Tests Due*, where the guide explains it: ") +
                       missing.join(QStringLiteral(", "))));
    }

    // The guide's table of CSV header names is the import's, row for row.
    void theGuideListsTheHeaderNamesTheImportTakes() {
        static const QRegularExpression row(QStringLiteral("^\\| ([^|]+) \\| ([^|]+) \\|$"),
                                            QRegularExpression::MultilineOption);
        const QString guide = readText(kSourceDir + QStringLiteral("/docs/user-guide.md"));
        const qsizetype table = guide.indexOf(QLatin1String("| Item field | Header names |"));
        QVERIFY2(table >= 0, "docs/user-guide.md has no table of header names");
        QStringList inGuide, inImport;
        auto rows = row.globalMatch(guide.mid(table));
        while (rows.hasNext()) {
            const auto m = rows.next();
            if (!m.captured(1).startsWith(QLatin1String("Item field")) &&
                !m.captured(1).startsWith(QLatin1String("---")))
                inGuide << m.captured(1) + QStringLiteral(": ") + m.captured(2);
            if (inGuide.size() == ItemImport::headerNames().size())
                break;
        }
        for (const ItemImport::HeaderNames& names : ItemImport::headerNames())
            inImport << ItemImport::fieldOf(names.field).caption + QStringLiteral(": ") +
                            names.names.join(QStringLiteral(", "));
        QCOMPARE(inGuide, inImport);
    }
};

QTEST_GUILESS_MAIN(TestGuideWindows)
#include "test_guide_windows.moc"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The guide's pictures are taken of the windows by a program
// (tools/make-guide-pictures.sh). Taken again, they must come out pixel for
// pixel as committed: a window that changes without its picture fails here.
namespace {

const QString kSourceDir = QStringLiteral(QUARVEL_SOURCE_DIR);

QString howToRetake() {
    return QStringLiteral(
               "If the change is meant, take the pictures again and commit them: "
               "bash tools/make-guide-pictures.sh %1")
        .arg(QStringLiteral(QUARVEL_BUILD_DIR));
}

QStringList picturesIn(const QDir& dir) {
    return dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
}

// Empty when the two are the same picture; otherwise how they differ.
QString differenceOf(const QImage& committed, const QImage& taken) {
    if (taken.isNull())
        return QStringLiteral("it was not taken again");
    if (committed.size() != taken.size())
        return QStringLiteral("it is %1x%2 pixels, the window now %3x%4")
            .arg(committed.width())
            .arg(committed.height())
            .arg(taken.width())
            .arg(taken.height());
    const QImage a = committed.convertToFormat(QImage::Format_ARGB32);
    const QImage b = taken.convertToFormat(QImage::Format_ARGB32);
    qint64 differing = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y) {
        const auto* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (lineA[x] != lineB[x] && differing++ == 0)
                first = {x, y};
        }
    }
    if (differing == 0)
        return {};
    return QStringLiteral("%1 pixels differ, the first at x %2, y %3")
        .arg(differing)
        .arg(first.x())
        .arg(first.y());
}

}  // namespace

class TestGuidePictures : public QObject {
    Q_OBJECT

private slots:
    void everyPictureIsTheWindowAsItIsNow() {
        for (const char* tool : {"xvfb-run", "xauth", "pdftoppm"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (bash scripts/install-deps.sh "
                                                "test)")
                                     .arg(QLatin1String(tool))));
        }
        QTemporaryDir taken;
        QProcess take;
        take.setProcessChannelMode(QProcess::ForwardedChannels);
        take.start(
            QStringLiteral("bash"),
            {kSourceDir + QStringLiteral("/tools/make-guide-pictures.sh"),
             QStringLiteral("--render"), QStringLiteral(QUARVEL_GUIDE_PICTURES), taken.path()});
        QVERIFY(take.waitForFinished(100000));
        QCOMPARE(take.exitCode(), 0);

        const QDir committedDir(kSourceDir + QStringLiteral("/docs/pictures"));
        const QDir takenDir(taken.path());
        QStringList problems;
        for (const QString& name : picturesIn(takenDir)) {
            if (!committedDir.exists(name))
                problems << QStringLiteral("docs/pictures/%1 is missing").arg(name);
        }
        for (const QString& name : picturesIn(committedDir)) {
            const QString why =
                differenceOf(QImage(committedDir.filePath(name)), QImage(takenDir.filePath(name)));
            if (!why.isEmpty())
                problems << QStringLiteral("docs/pictures/%1 is not the window as it is now: %2")
                                .arg(name, why);
        }
        QVERIFY(!picturesIn(committedDir).isEmpty());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; ")) +
                                                QStringLiteral(". ") + howToRetake()));
    }
};

QTEST_GUILESS_MAIN(TestGuidePictures)
#include "test_guide_pictures.moc"

// A device service of the test's own making: it returns the number named by
// QUARVEL_STANDIN_RESULT and writes the arguments it got to the file named
// by QUARVEL_STANDIN_LOG, one per line.
#include <QFile>
#include <QtGlobal>
#include <cstdint>

extern "C" Q_DECL_EXPORT std::int32_t DESKTOPTODEVICE(const char* desktopDbPath,
                                                      const char* tableList,
                                                      std::int32_t synchronise,
                                                      std::int32_t overwrite,
                                                      const char* deviceDbPath) {
    QFile log(qEnvironmentVariable("QUARVEL_STANDIN_LOG"));
    if (log.open(QIODevice::WriteOnly)) {
        log.write(QByteArray(desktopDbPath) + '\n' + QByteArray(tableList) + '\n' +
                  QByteArray::number(synchronise) + '\n' + QByteArray::number(overwrite) + '\n' +
                  QByteArray(deviceDbPath) + '\n');
    }
    return qEnvironmentVariableIntValue("QUARVEL_STANDIN_RESULT");
}

#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class Progress;
class SoundStates;

// The device service: the library that copies the desktop register to a
// handheld device, loaded at run time by name from the program's folder
// (adofiltr.dll, libadofiltr.so), so that another vendor's library with the
// same entry can stand in for it.
class DeviceService {
public:
    // What became of one call.
    struct Call {
        bool returned = false;  // the entry was found and ran
        qint32 result = 0;      // what it returned: 0 is success
        QString failure;        // why it could not be called, in the platform's words
    };

    // `library` is the file name without its platform suffix. `sound`, when
    // given, holds the register states the program's full check found sound.
    explicit DeviceService(QString library, std::shared_ptr<SoundStates> sound = nullptr);

    // Calls DESKTOPTODEVICE(desktop, tables, synchronise, overwrite, device)
    // once, on a thread of its own, while the caller's events go on. With a
    // progress, and a library that has DESKTOPTODEVICEWATCHED, the copy's
    // steps are reported and Cancel stops it (DEVICE_CANCELLED). With sound
    // states, and a library that has DESKTOPTODEVICECHECKED, a register in a
    // state found sound is not checked in full again, and a state the copy's
    // own check finds sound is added to them.
    Call desktopToDevice(const QByteArray& desktopDb, const QByteArray& tableList,
                         qint32 synchronise, qint32 overwrite, const QByteArray& deviceDb,
                         Progress* progress = nullptr) const;

private:
    QString library_;
    std::shared_ptr<SoundStates> sound_;
};

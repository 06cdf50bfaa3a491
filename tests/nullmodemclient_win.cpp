#include "nullmodemclient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <windows.h>

namespace {

// The Linux side answers within milliseconds; a simulator that starts takes
// longer on a busy machine.
constexpr int kAnswerMs = 20000;

}  // namespace

namespace NullModem {

std::optional<QStringList> request(const QString &line) {
    const QString folder = qEnvironmentVariable("KALVEX_NULLMODEM");
    if (folder.isEmpty()) {
        qWarning("no device: KALVEX_NULLMODEM is not set (tests/wine/run.sh sets it)");
        return std::nullopt;
    }
    const QDir dir(folder);
    const QString answerPath = dir.filePath(QStringLiteral("reply"));
    // The other side reads it once it is closed.
    QFile file(dir.filePath(QStringLiteral("request")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(line.toUtf8() + '\n') < 0) {
        qWarning("no device: %s: %s", qPrintable(file.fileName()), qPrintable(file.errorString()));
        return std::nullopt;
    }
    file.close();
    const QDeadlineTimer deadline(kAnswerMs);
    while (!QFile::exists(answerPath)) {
        if (deadline.hasExpired()) {
            qWarning("no device: no answer to \"%s\" in %s", qPrintable(line), qPrintable(folder));
            return std::nullopt;
        }
        QTest::qWait(1);
    }
    QFile answerFile(answerPath);
    const QString answer = answerFile.open(QIODevice::ReadOnly)
                               ? QString::fromUtf8(answerFile.readAll()).trimmed()
                               : QString();
    answerFile.remove();
    QStringList words = answer.split(u' ', Qt::SkipEmptyParts);
    if (words.value(0) != QLatin1String("ok")) {
        qWarning("no device: \"%s\" answered \"%s\"", qPrintable(line), qPrintable(answer));
        return std::nullopt;
    }
    words.removeFirst();
    return words;
}

bool list(const QString &port, bool present) {
    const int number = port.mid(3).toInt();
    HKEY key = nullptr;
    // Volatile, as the serial drivers keep it: gone with the Wine session.
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring device = L"\\Device\\Serial" + std::to_wstring(number - 1);
    const std::wstring name = port.toStdWString();
    const LSTATUS status = present ? RegSetValueExW(key, device.c_str(), 0, REG_SZ,
                                                    reinterpret_cast<const BYTE *>(name.c_str()),
                                                    DWORD((name.size() + 1) * sizeof(wchar_t)))
                                   : RegDeleteValueW(key, device.c_str());
    RegCloseKey(key);
    return status == ERROR_SUCCESS || (!present && status == ERROR_FILE_NOT_FOUND);
}

}  // namespace NullModem

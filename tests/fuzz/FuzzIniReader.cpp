// The configuration file's reader on any bytes, and a write into them: a value written reads
// back as written, whatever the file held before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "IniFile.h"
#include "ZelvanConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    static const QString path = QDir::temp().filePath(
        QStringLiteral("kestaro-fuzz-%1.ini").arg(QCoreApplication::applicationPid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(reinterpret_cast<const char*>(AData), qsizetype(ASize));
    }
    const TZelvanConfig config = LoadZelvanConfig(path);
    (void)config;
    TIniFile ini(path);
    try {
        ini.WriteString(ConfigKeys::Display, ConfigKeys::StyleName,
                        QStringLiteral("Windows10 Dark"));
    } catch (...) {
        return 0;  // a file that cannot be read is never replaced
    }
    if (ini.ReadString(ConfigKeys::Display, ConfigKeys::StyleName, {}) != u"Windows10 Dark")
        std::abort();
    return 0;
}

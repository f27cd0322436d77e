#pragma once

#include <cstdint>

#include <QHash>
#include <QString>

// The configuration file's reader and writer, with the behaviour of the Windows profile
// functions: "[Section]" lines open sections, "Key=Value" lines hold values, section and key
// names match without regard to letter case, the first of two equal names counts, and whatever
// is missing reads as the caller's default. Nothing is cached between calls: every read opens
// the file afresh and every write is on disk before it returns. The file is read in the encodings
// Windows writes it in, UTF-8 (with or without a byte order mark), UTF-16LE with its mark, and on
// Windows the ANSI code page for a file that is not UTF-8; a save keeps the file's encoding and
// line ends. A new file is UTF-8.
//
// A write replaces the file atomically (an owner-only temporary file beside it, then a rename),
// so a crash leaves the old file or the new one, never a torn one, and keeps every other line as
// it was; in a folder that takes no new file, the file is written in place. A new file is
// readable by its owner only, since it holds the password in the clear. A symbolic link is
// written through to its target, and an existing file keeps its owner and mode.
//
// A file larger than MaxFileSize is no configuration: it reads as missing and is never written.
class TIniFile {
public:
    static constexpr qsizetype MaxValueLength = 2047;
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    // What the file held when it was read, for reading many keys from one reading.
    class TContents {
    public:
        QString ReadString(const QString& ASection, const QString& AKey,
                           const QString& ADefault) const;
        // The value converted by the integer rule of TryStrToInt; ADefault when it is no integer.
        std::int32_t ReadInteger(const QString& ASection, const QString& AKey,
                                 std::int32_t ADefault) const;
        // Read as an integer (default 1 or 0); any integer but 0 is true.
        bool ReadBool(const QString& ASection, const QString& AKey, bool ADefault) const;
        // The file was there but larger than MaxFileSize, so it was not read.
        bool TooLarge() const { return FTooLarge; }

    private:
        friend class TIniFile;
        QHash<QString, QString> FValues;  // by folded section and key name
        bool FTooLarge = false;
    };

    explicit TIniFile(QString APath) : FPath(std::move(APath)) {}
    const QString& Path() const { return FPath; }

    TContents Read() const;
    QString ReadString(const QString& ASection, const QString& AKey, const QString& ADefault) const;
    std::int32_t ReadInteger(const QString& ASection, const QString& AKey,
                             std::int32_t ADefault) const;
    bool ReadBool(const QString& ASection, const QString& AKey, bool ADefault) const;

    // Each raises EZelvanError "Unable to write to <path>" when the file cannot be written, or
    // the file itself refuses writing (read-only), or it is too large to be a configuration.
    void WriteString(const QString& ASection, const QString& AKey, const QString& AValue);
    void WriteInteger(const QString& ASection, const QString& AKey, std::int32_t AValue);
    void WriteBool(const QString& ASection, const QString& AKey, bool AValue);

    // Removes the temporary copies that a save cut short (the program killed meanwhile) left
    // beside the file at APath. Every write does it first; start-up does it too.
    static void RemoveLeftovers(const QString& APath);

private:
    QString FPath;
};

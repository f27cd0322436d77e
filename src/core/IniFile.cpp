#include "IniFile.h"

#include <algorithm>
#include <optional>

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TextRules.h"
#include "ZelvanError.h"

namespace {

// The encodings Windows' own profile functions and Notepad write such a file in: UTF-8 (with or
// without a byte order mark), UTF-16 little or big endian with its mark, UTF-16 without a mark
// (recognised, as Windows does, by the zero bytes of its Latin letters), and, on Windows, the ANSI
// code page for a file that is not UTF-8. A save writes in the encoding the file has; a new file
// is UTF-8. A file in none of them is read as far as it goes and never written into: lines in
// another encoding would make one file of two.
enum class TEncoding { Utf8, Utf16Le, Utf16Be, Ansi, Unknown };

std::optional<QStringConverter::Encoding> Codec(TEncoding AEncoding) {
    switch (AEncoding) {
        case TEncoding::Utf16Le:
            return QStringConverter::Utf16LE;
        case TEncoding::Utf16Be:
            return QStringConverter::Utf16BE;
        case TEncoding::Ansi:
            return QStringConverter::System;
        default:
            return std::nullopt;
    }
}

QByteArray Encode(TEncoding AEncoding, QStringView AText) {
    if (const auto codec = Codec(AEncoding)) return QStringEncoder(*codec)(AText);
    return AText.toUtf8();
}

QString Decode(TEncoding AEncoding, QByteArrayView ABytes) {
    if (const auto codec = Codec(AEncoding)) return QStringDecoder(*codec)(ABytes);
    return QString::fromUtf8(ABytes);
}

bool IsUtf16(TEncoding AEncoding) {
    return AEncoding == TEncoding::Utf16Le || AEncoding == TEncoding::Utf16Be;
}

const QByteArray Utf16LeMark("\xFF\xFE", 2);
const QByteArray Utf16BeMark("\xFE\xFF", 2);

// UTF-16 without a mark: an even length, and a zero byte in most characters on one side (the
// high byte of the Latin letters, digits and signs a configuration file is made of) and in
// almost none on the other.
std::optional<TEncoding> UnmarkedUtf16(const QByteArray& ABytes) {
    if (ABytes.size() < 4 || ABytes.size() % 2 != 0) return std::nullopt;
    qsizetype zeroEven = 0, zeroOdd = 0;
    for (qsizetype i = 0; i < ABytes.size(); i += 2) {
        zeroEven += ABytes[i] == '\0';
        zeroOdd += ABytes[i + 1] == '\0';
    }
    const qsizetype characters = ABytes.size() / 2;
    if (zeroOdd * 2 > characters && zeroEven * 10 < characters) return TEncoding::Utf16Le;
    if (zeroEven * 2 > characters && zeroOdd * 10 < characters) return TEncoding::Utf16Be;
    return std::nullopt;
}

// A byte order mark says the encoding; without one, text that is not UTF-8 is the ANSI code
// page's on Windows, and unknown elsewhere.
TEncoding EncodingOf(const QByteArray& ABytes) {
    if (ABytes.startsWith(Utf16LeMark)) return TEncoding::Utf16Le;
    if (ABytes.startsWith(Utf16BeMark)) return TEncoding::Utf16Be;
    if (const auto unmarked = UnmarkedUtf16(ABytes)) return *unmarked;
    if (ABytes.startsWith("\xEF\xBB\xBF") || QByteArrayView(ABytes).isValidUtf8())
        return TEncoding::Utf8;
#ifdef Q_OS_WIN
    return TEncoding::Ansi;
#else
    return TEncoding::Unknown;
#endif
}

// One line of the file: its bytes and line break exactly as they were, so that lines not written
// to are kept byte for byte (a byte-order mark, or text in another encoding, included), and its
// text for finding names and reading values.
struct TLine {
    QByteArray Raw;
    QByteArray Break;
    QString Text;
};

enum class TReadStatus { Read, Missing, Unreadable, TooLarge };

struct TFileLines {
    TReadStatus Status = TReadStatus::Missing;
    TEncoding Encoding = TEncoding::Utf8;
    std::vector<TLine> Lines;

    // A line the program writes, in the file's encoding.
    TLine NewLine(const QString& AText, bool ACrlf) const {
        return {Encode(Encoding, AText), Encode(Encoding, ACrlf ? u"\r\n" : u"\n"), AText};
    }
    bool EndsLinesWithCrlf() const {
        return !Lines.empty() && Lines.front().Break == Encode(Encoding, u"\r\n");
    }
};

// Splits AText, in ABytes' encoding, into lines: by the bytes themselves where every line break
// is one byte ("\n" in UTF-8 and the ANSI code pages alike), by the text in UTF-16.
std::vector<TLine> SplitLines(const QByteArray& ABytes, TEncoding AEncoding) {
    std::vector<TLine> lines;
    if (IsUtf16(AEncoding)) {
        const QByteArray mark = ABytes.left(2) == Utf16LeMark || ABytes.left(2) == Utf16BeMark
                                    ? ABytes.left(2)
                                    : QByteArray();
        const QString text = Decode(AEncoding, QByteArrayView(ABytes).sliced(mark.size()));
        qsizetype start = 0;
        while (start < text.size()) {
            qsizetype end = text.indexOf(u'\n', start);
            const bool last = end < 0;
            if (last) end = text.size();
            const bool crlf = !last && end > start && text[end - 1] == u'\r';
            const QString line = text.mid(start, end - start - (crlf ? 1 : 0));
            lines.push_back({(lines.empty() ? mark : QByteArray()) + Encode(AEncoding, line),
                             last ? QByteArray() : Encode(AEncoding, crlf ? u"\r\n" : u"\n"),
                             line});
            start = end + 1;
        }
        return lines;
    }
    const auto add = [&](QByteArray ARaw, QByteArray ABreak) {
        QString text = Decode(AEncoding, ARaw);
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        lines.push_back({std::move(ARaw), std::move(ABreak), std::move(text)});
    };
    qsizetype start = 0;
    while (start < ABytes.size()) {
        const qsizetype end = ABytes.indexOf('\n', start);
        if (end < 0) {
            add(ABytes.mid(start), {});
            break;
        }
        const bool crlf = end > start && ABytes[end - 1] == '\r';
        add(ABytes.mid(start, end - start - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n");
        start = end + 1;
    }
    return lines;
}

// The file's lines; none for a missing file, and none either for one that exists but cannot be
// read or is too large to be a configuration, with a status that says so (so that a write never
// replaces a file it could not read).
TFileLines ReadLines(const QString& APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        return {file.exists() ? TReadStatus::Unreadable : TReadStatus::Missing, {}, {}};
    if (file.size() > TIniFile::MaxFileSize) return {TReadStatus::TooLarge, {}, {}};
    const QByteArray bytes = file.read(TIniFile::MaxFileSize + 1);
    if (bytes.size() > TIniFile::MaxFileSize) return {TReadStatus::TooLarge, {}, {}};
    const TEncoding encoding = EncodingOf(bytes);
    return {TReadStatus::Read, encoding, SplitLines(bytes, encoding)};
}

QStringView Trimmed(QStringView AText) {
    return AText.trimmed();
}

// The section name of a "[Name]" line.
std::optional<QStringView> SectionName(const QString& ALine) {
    const QStringView line = Trimmed(ALine);
    if (line.size() < 2 || line.front() != u'[') return std::nullopt;
    const qsizetype close = line.indexOf(u']');
    if (close < 0) return std::nullopt;
    return Trimmed(line.mid(1, close - 1));
}

// The key name of a "Key=Value" line.
std::optional<QStringView> KeyName(const QString& ALine) {
    const qsizetype equals = ALine.indexOf(u'=');
    if (equals < 0) return std::nullopt;
    return Trimmed(QStringView(ALine).left(equals));
}

bool SameName(QStringView A, QStringView B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

struct TSection {
    QStringView Name;
    std::size_t Header;  // index of the "[Name]" line
    std::size_t End;     // index of the next section's header, or of the end
};

// The file's sections, each at its first occurrence: a header met again, and what stands under
// it, count for nothing. Both reading and writing go by this one rule.
std::vector<TSection> Sections(const std::vector<TLine>& ALines) {
    std::vector<TSection> sections;
    bool repeated = false;
    for (std::size_t i = 0; i < ALines.size(); ++i) {
        const auto name = SectionName(ALines[i].Text);
        if (!name) continue;
        if (!sections.empty() && !repeated) sections.back().End = i;
        repeated = std::any_of(sections.begin(), sections.end(),
                               [&](const TSection& A) { return SameName(A.Name, *name); });
        if (!repeated) sections.push_back({*name, i, ALines.size()});
    }
    return sections;
}

struct TFound {
    std::optional<std::size_t> Section;  // index of the section's header line
    std::optional<std::size_t> Key;      // index of the key's line
    std::size_t SectionEnd = 0;          // index after the section's last non-blank line
};

TFound Find(const std::vector<TLine>& ALines, const QString& ASection, const QString& AKey) {
    TFound found;
    for (const TSection& section : Sections(ALines)) {
        if (!SameName(section.Name, ASection)) continue;
        found.Section = section.Header;
        found.SectionEnd = section.Header + 1;
        for (std::size_t i = section.Header + 1; i < section.End; ++i) {
            if (!Trimmed(ALines[i].Text).isEmpty()) found.SectionEnd = i + 1;
            const auto key = KeyName(ALines[i].Text);
            if (!found.Key && key && SameName(*key, AKey)) found.Key = i;
        }
        break;
    }
    return found;
}

// The path as the system writes it (backslashes on Windows). Where no reason is known on Windows,
// the likeliest one is said: another program (an editor, a backup) holds the file open.
EZelvanError WriteError(const QString& APath, const char* AReason = nullptr) {
    std::string text = "Unable to write to " + QDir::toNativeSeparators(APath).toStdString();
    if (AReason) text += AReason;
#ifdef Q_OS_WIN
    else
        text +=
            "\nتعذرت الكتابة في ملف الإعدادات: قد يكون برنامج آخر يفتحه (أغلقه ثم احفظ مرة "
            "أخرى)، أو لا يُسمح بالكتابة فيه.";
#endif
    return EZelvanError(text);
}

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The temporary copies of a save in progress: "<file>.kestaro-save-XXXXXX" beside the file.
QString SavePattern(const QString& APath) {
    return QFileInfo(APath).fileName() + QStringLiteral(".kestaro-save-");
}

std::filesystem::path NativePath(const QString& APath) {
    return std::filesystem::path(APath.toStdU16String());
}

// The file a path names in the end: a symbolic link is followed to its target (also one that
// does not exist yet), so that a save writes there and leaves the link a link.
QString FinalPath(const QString& APath) {
    QString path = QFileInfo(APath).absoluteFilePath();
    for (int hop = 0; hop < 40 && QFileInfo(path).isSymLink(); ++hop)
        path = QFileInfo(path).symLinkTarget();
    return path;
}

bool WriteAll(QFile& AFile, const QByteArray& ABytes) {
    // flush() reports a short write (a full disk) that write() into the buffer would not.
    if (AFile.write(ABytes) != ABytes.size() || !AFile.flush()) return false;
#ifdef Q_OS_UNIX
    return ::fsync(AFile.handle()) == 0;
#else
    return true;
#endif
}

// Gives the temporary copy the file's owner and mode (owner-only for a new file). False where the
// owner cannot be given, so that the caller writes in place rather than take the file over.
bool TakeOverAttributes(QFile& ATemp, const QString& AFile, bool AExisted) {
#ifdef Q_OS_UNIX
    struct stat info {};
    if (!AExisted || ::stat(QFile::encodeName(AFile).constData(), &info) != 0)
        return ::fchmod(ATemp.handle(), S_IRUSR | S_IWUSR) == 0;
    if ((info.st_uid != ::geteuid() || info.st_gid != ::getegid()) &&
        ::fchown(ATemp.handle(), info.st_uid, info.st_gid) != 0)
        return false;
    return ::fchmod(ATemp.handle(), info.st_mode & 07777) == 0;
#else
    return ATemp.setPermissions(AExisted ? QFileInfo(AFile).permissions() : OwnerOnly);
#endif
}

enum class TReplaced { Done, NotPossible };

// A temporary copy beside the file, "<file>.kestaro-save-XXXXXX", always under a name of its own
// (so that what a failure leaves behind is the same on every system) and closed before it takes
// the file's place (Windows moves no file that is still open). Removed unless it did.
class TTempCopy {
public:
    explicit TTempCopy(const QString& APath) {
        const QString stem = QFileInfo(APath).absolutePath() + u'/' + SavePattern(APath);
        for (int attempt = 0; attempt < 20 && !FFile.isOpen(); ++attempt) {
            FFile.setFileName(stem + QString::number(QRandomGenerator::global()->generate(), 36));
            FFile.open(QIODevice::WriteOnly | QIODevice::NewOnly);
        }
    }
    ~TTempCopy() {
        if (FCommitted || !FFile.isOpen()) return;
        FFile.close();
        FFile.remove();
    }
    TTempCopy(const TTempCopy&) = delete;
    TTempCopy& operator=(const TTempCopy&) = delete;

    QFile* File() { return FFile.isOpen() ? &FFile : nullptr; }
    bool ReplaceWithThis(const QString& APath) {
        const QString name = FFile.fileName();
        FFile.close();
        std::error_code error;
        std::filesystem::rename(NativePath(name), NativePath(APath), error);
        if (error) {
            QFile::remove(name);
            return false;
        }
        FCommitted = true;
        return true;
    }

private:
    QFile FFile;
    bool FCommitted = false;
};

// The new text goes to the temporary copy, which then takes the file's place in one step: a
// crash leaves the old file or the new one.
TReplaced ReplaceAtomically(const QString& APath, const QByteArray& ABytes, bool AExisted) {
    TTempCopy temp(APath);
    QFile* file = temp.File();
    if (!file || !TakeOverAttributes(*file, APath, AExisted)) return TReplaced::NotPossible;
    if (!WriteAll(*file, ABytes) || !temp.ReplaceWithThis(APath)) throw WriteError(APath);
    return TReplaced::Done;
}

// Where the folder takes no new file, or the file's owner cannot be kept, the file is written in
// place, as the profile functions always write it.
void WriteInPlace(const QString& APath, const QByteArray& ABytes, bool AExisted) {
    QFile file(APath);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    (AExisted || file.setPermissions(OwnerOnly)) && WriteAll(file, ABytes);
    if (!ok) throw WriteError(APath);
}

void Save(const QString& APath, const std::vector<TLine>& ALines) {
    QByteArray bytes;
    for (const TLine& line : ALines) bytes += line.Raw + line.Break;
    const bool existed = QFileInfo::exists(APath);
    // A file made read-only refuses the save, as the profile functions would: the rename would
    // otherwise replace it all the same.
    if (existed && !QFile(APath).open(QIODevice::WriteOnly | QIODevice::Append))
        throw WriteError(APath);
    TIniFile::RemoveLeftovers(APath);
    if (ReplaceAtomically(APath, bytes, existed) == TReplaced::NotPossible)
        WriteInPlace(APath, bytes, existed);
}

QString FoldedName(QStringView ASection, QStringView AKey) {
    return ASection.toString().toCaseFolded() + u'\n' + AKey.toString().toCaseFolded();
}

}  // namespace

TIniFile::TContents TIniFile::Read() const {
    TContents contents;
    const TFileLines file = ReadLines(FPath);
    contents.FTooLarge = file.Status == TReadStatus::TooLarge;
    for (const TSection& section : Sections(file.Lines))
        for (std::size_t i = section.Header + 1; i < section.End; ++i) {
            const QString& line = file.Lines[i].Text;
            const auto key = KeyName(line);
            if (!key) continue;
            const QString name = FoldedName(section.Name, *key);
            if (contents.FValues.contains(name)) continue;  // the first of two equal keys counts
            const QStringView value = Trimmed(QStringView(line).mid(line.indexOf(u'=') + 1));
            contents.FValues.insert(name, value.left(MaxValueLength).toString());
        }
    return contents;
}

QString TIniFile::TContents::ReadString(const QString& ASection, const QString& AKey,
                                        const QString& ADefault) const {
    return FValues.value(FoldedName(ASection, AKey), ADefault);
}

std::int32_t TIniFile::TContents::ReadInteger(const QString& ASection, const QString& AKey,
                                              std::int32_t ADefault) const {
    return StrToIntDef(ReadString(ASection, AKey, QString()), ADefault);
}

bool TIniFile::TContents::ReadBool(const QString& ASection, const QString& AKey,
                                   bool ADefault) const {
    return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

QString TIniFile::ReadString(const QString& ASection, const QString& AKey,
                             const QString& ADefault) const {
    return Read().ReadString(ASection, AKey, ADefault);
}

std::int32_t TIniFile::ReadInteger(const QString& ASection, const QString& AKey,
                                   std::int32_t ADefault) const {
    return Read().ReadInteger(ASection, AKey, ADefault);
}

bool TIniFile::ReadBool(const QString& ASection, const QString& AKey, bool ADefault) const {
    return Read().ReadBool(ASection, AKey, ADefault);
}

void TIniFile::WriteString(const QString& ASection, const QString& AKey, const QString& AValue) {
    const QString target = FinalPath(FPath);
    TFileLines read = ReadLines(target);
    if (read.Status == TReadStatus::TooLarge)
        throw WriteError(FPath, ": the file is too large to be a configuration file");
    if (read.Status == TReadStatus::Unreadable) throw WriteError(FPath);
    if (read.Encoding == TEncoding::Unknown)
        throw WriteError(
            FPath,
            ": its encoding is not UTF-8 nor UTF-16\nترميز ملف الإعدادات غير معروف، فلم "
            "يُكتب فيه شيء حتى لا يختلط فيه ترميزان.");
    std::vector<TLine>& lines = read.Lines;
    // A line break inside a value would end the line there and let the rest of the value pose
    // as further keys or sections.
    QString value = AValue;
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    const bool crlf = read.EndsLinesWithCrlf();
    const QByteArray lineBreak = read.NewLine({}, crlf).Break;
    const TLine keyLine = read.NewLine(AKey + u'=' + value, crlf);

    const TFound found = Find(lines, ASection, AKey);
    if (found.Key) {
        TLine& line = lines[*found.Key];
        line = {keyLine.Raw, line.Break.isEmpty() ? lineBreak : line.Break, keyLine.Text};
    } else if (found.Section) {
        if (lines[found.SectionEnd - 1].Break.isEmpty())
            lines[found.SectionEnd - 1].Break = lineBreak;
        lines.insert(lines.begin() + std::ptrdiff_t(found.SectionEnd), keyLine);
    } else {
        if (!lines.empty() && lines.back().Break.isEmpty()) lines.back().Break = lineBreak;
        lines.push_back(read.NewLine(u'[' + ASection + u']', crlf));
        lines.push_back(keyLine);
    }
    try {
        Save(target, lines);
    } catch (const EZelvanError&) {
        throw WriteError(FPath);
    }
}

void TIniFile::WriteInteger(const QString& ASection, const QString& AKey, std::int32_t AValue) {
    WriteString(ASection, AKey, QString::number(AValue));
}

void TIniFile::WriteBool(const QString& ASection, const QString& AKey, bool AValue) {
    WriteString(ASection, AKey, AValue ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::RemoveLeftovers(const QString& APath) {
    const QFileInfo info(APath);
    QDir folder = info.absoluteDir();
    const QStringList leftovers =
        folder.entryList({SavePattern(APath) + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : leftovers) folder.remove(name);
}

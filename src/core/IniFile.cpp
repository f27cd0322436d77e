#include "IniFile.h"

#include <optional>

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "TextRules.h"
#include "ZelvanError.h"

namespace {

// One line of the file: its bytes and line break exactly as they were, so that lines not written
// to are kept byte for byte (a byte-order mark, or text in another encoding, included), and its
// text for finding names and reading values.
struct TLine {
    QByteArray Raw;
    QByteArray Break;
    QString Text;
};

TLine MakeLine(QByteArray ARaw, QByteArray ABreak) {
    QString text = QString::fromUtf8(ARaw);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return {std::move(ARaw), std::move(ABreak), std::move(text)};
}

// The file's lines; none for a missing file, nothing at all for one that exists but cannot be
// read (so that a write never replaces a file it could not read).
std::optional<std::vector<TLine>> ReadLines(const QString& APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? std::nullopt : std::optional(std::vector<TLine>());
    const QByteArray bytes = file.readAll();
    std::vector<TLine> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            lines.push_back(MakeLine(bytes.mid(start), {}));
            break;
        }
        const bool crlf = end > start && bytes[end - 1] == '\r';
        lines.push_back(
            MakeLine(bytes.mid(start, end - start - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n"));
        start = end + 1;
    }
    return lines;
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

bool SameName(QStringView A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

struct TFound {
    std::optional<std::size_t> Section;  // index of the section's header line
    std::optional<std::size_t> Key;      // index of the key's line
    std::size_t SectionEnd = 0;          // index after the section's last non-blank line
};

TFound Find(const std::vector<TLine>& ALines, const QString& ASection, const QString& AKey) {
    TFound found;
    for (std::size_t i = 0; i < ALines.size(); ++i) {
        if (const auto section = SectionName(ALines[i].Text)) {
            if (found.Section) break;  // the section ended; only its first occurrence counts
            if (SameName(*section, ASection)) {
                found.Section = i;
                found.SectionEnd = i + 1;
            }
            continue;
        }
        if (!found.Section) continue;
        if (!Trimmed(ALines[i].Text).isEmpty()) found.SectionEnd = i + 1;
        const auto key = KeyName(ALines[i].Text);
        if (!found.Key && key && SameName(*key, AKey)) found.Key = i;
    }
    return found;
}

EZelvanError WriteError(const QString& APath) {
    return EZelvanError(("Unable to write to " + APath).toStdString());
}

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The temporary copies of a save in progress: "<file>.kestaro-save-XXXXXX" beside the file.
QString SavePattern(const QString& APath) {
    return QFileInfo(APath).fileName() + QStringLiteral(".kestaro-save-");
}

std::filesystem::path NativePath(const QString& APath) {
    return std::filesystem::path(APath.toStdU16String());
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

// The new text goes to a temporary copy beside the file, owner-only since it holds the password,
// which then takes the file's place in one step: a crash leaves the old file or the new one.
// Where the folder takes no new file, the file is written in place, as the profile functions
// always write it.
void Save(const QString& APath, const std::vector<TLine>& ALines) {
    QByteArray bytes;
    for (const TLine& line : ALines) bytes += line.Raw + line.Break;
    const bool existed = QFileInfo::exists(APath);
    const QFileDevice::Permissions permissions =
        existed ? QFileInfo(APath).permissions() : OwnerOnly;
    TIniFile::RemoveLeftovers(APath);

    QTemporaryFile temp(QFileInfo(APath).absolutePath() + u'/' + SavePattern(APath) +
                        QStringLiteral("XXXXXX"));
    if (temp.open()) {
        const bool ok = WriteAll(temp, bytes) && temp.setPermissions(permissions);
        temp.close();
        std::error_code error;
        if (ok) std::filesystem::rename(NativePath(temp.fileName()), NativePath(APath), error);
        if (!ok || error) throw WriteError(APath);
        temp.setAutoRemove(false);  // it is the file now
        return;
    }
    QFile file(APath);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    (existed || file.setPermissions(OwnerOnly)) && WriteAll(file, bytes);
    if (!ok) throw WriteError(APath);
}

}  // namespace

QString TIniFile::ReadString(const QString& ASection, const QString& AKey,
                             const QString& ADefault) const {
    const std::vector<TLine> lines = ReadLines(FPath).value_or(std::vector<TLine>());
    const TFound found = Find(lines, ASection, AKey);
    if (!found.Key) return ADefault;
    const QString& line = lines[*found.Key].Text;
    return Trimmed(QStringView(line).mid(line.indexOf(u'=') + 1)).left(MaxValueLength).toString();
}

std::int32_t TIniFile::ReadInteger(const QString& ASection, const QString& AKey,
                                   std::int32_t ADefault) const {
    return StrToIntDef(ReadString(ASection, AKey, QString()), ADefault);
}

bool TIniFile::ReadBool(const QString& ASection, const QString& AKey, bool ADefault) const {
    return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& ASection, const QString& AKey, const QString& AValue) {
    auto read = ReadLines(FPath);
    if (!read) throw WriteError(FPath);
    std::vector<TLine>& lines = *read;
    // A line break inside a value would end the line there and let the rest of the value pose
    // as further keys or sections.
    QString value = AValue;
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    const QByteArray lineBreak = !lines.empty() && lines.front().Break == "\r\n" ? "\r\n" : "\n";
    const TLine keyLine = MakeLine((AKey + u'=' + value).toUtf8(), lineBreak);

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
        lines.push_back(MakeLine((u'[' + ASection + u']').toUtf8(), lineBreak));
        lines.push_back(keyLine);
    }
    Save(FPath, lines);
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

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#else
#include <fcntl.h>
#include <io.h>
#include <share.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QDir>
#include <QStringDecoder>
#include <QStringEncoder>

#include "IniFile.h"
#include "TempDir.h"
#include "TextRules.h"
#include "ZelvanConfig.h"
#include "ZelvanError.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string& APath, const std::string& AText) {
    std::ofstream(APath, std::ios::binary) << AText;
}

std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

QString Q(const std::string& AText) {
    return QString::fromStdString(AText);
}

}  // namespace

TEST(IntegerRule, ReadsSignsSpacesAndHexPrefixes) {
    const struct {
        const char* Text;
        std::optional<int> Value;
    } cases[] = {
        {"8080", 8080},
        {"0x1F90", 8080},
        {"$1F90", 8080},
        {"x1f90", 8080},
        {"X1F90", 8080},
        {"0X1F90", 8080},
        {"  -5", -5},
        {"+7", 7},
        {"-$10", -16},
        {"$FFFFFFFF", std::nullopt},  // out of range in any form, never wrapped
        {"-$FFFFFFFF", std::nullopt},
        {"$7FFFFFFF", INT32_MAX},
        {"-$80000000", INT32_MIN},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"8080x", std::nullopt},
        {"8080 ", std::nullopt},
        {"", std::nullopt},
        {"x", std::nullopt},
        {"0x", std::nullopt},
        {"1e3", std::nullopt},
        {"12.0", std::nullopt},
        {"--1", std::nullopt},
        {"\t1", std::nullopt},
        {"٣", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TryStrToInt(QString::fromUtf8(c.Text)), c.Value) << c.Text;
        EXPECT_EQ(TryStrToInt(std::string_view(c.Text)), c.Value) << c.Text;
    }
}

TEST(IniPath, FollowsTheExecutablesName) {
    EXPECT_EQ(IniPathForExecutable("D:\\Tools\\client.exe"), "D:\\Tools\\client.ini");
    EXPECT_EQ(IniPathForExecutable("D:\\Tools\\client"), "D:\\Tools\\client.ini");
    EXPECT_EQ(IniPathForExecutable("D:\\my.tools\\client"), "D:\\my.tools\\client.ini");
    EXPECT_EQ(IniPathForExecutable("/opt/my.tools/kestaro-zelvan"),
              "/opt/my.tools/kestaro-zelvan.ini");
    EXPECT_EQ(IniPathForExecutable("/opt/kestaro/kestaro-zelvan.bin"),
              "/opt/kestaro/kestaro-zelvan.ini");
    EXPECT_EQ(IniPathForExecutable("C:client.v2.exe"), "C:client.v2.ini");
}

// A copy in a folder of its own that it can write keeps its file beside it, on every system.
TEST(IniPath, ACopyInAFolderItCanWriteKeepsItsFileBesideIt) {
    TTempDir dir;
    const QString program = Q(dir.File("kestaro-beside-test.exe"));
    const QString beside = Q(dir.File("kestaro-beside-test.ini"));
    WriteFile(beside.toStdString(), "[Connection]\r\nServerPort=18080\r\n");
    EXPECT_EQ(ConfigFilePath(program), beside);
    EXPECT_EQ(ConfigSavePath(program), beside);
    TIniFile(beside).WriteBool("Options", "SoundEnabled", false);
    EXPECT_EQ(LoadZelvanConfig(ConfigFilePath(program)).Port, 18080);
    EXPECT_FALSE(fs::exists(UserConfigFilePath(program).toStdString()));
}

TEST(ZelvanConfig, DefaultsWithoutAFileAndNoFileCreated) {
    TTempDir dir;
    const std::string path = dir.File("kestaro-zelvan.ini");
    const TZelvanConfig c = LoadZelvanConfig(Q(path));
    EXPECT_EQ(c.Host, "127.0.0.1");
    EXPECT_EQ(c.Port, 80);
    EXPECT_EQ(c.Password, "2613");
    EXPECT_EQ(c.PollInterval, 10);
    EXPECT_TRUE(c.SoundEnabled);
    EXPECT_EQ(c.StyleName, "Windows10 Blue");
    EXPECT_FALSE(fs::exists(path));
}

TEST(ZelvanConfig, ReadsEncodingsAndNamesWithoutRegardToCase) {
    TTempDir dir;
    const std::string path = dir.File("k.ini");
    WriteFile(path,
              "; comment\r\n[connection]\r\nserverhost = 192.168.1.5 \r\nSERVERPORT=$1F90\r\n"
              "Password=كلمة سر\r\n[Options]\r\nPollInterval=-5\r\nSoundEnabled=false\r\n"
              "[Display]\r\nStyleName=No Such Style\r\n[Options]\r\nPollInterval=99\r\n");
    TZelvanConfig c = LoadZelvanConfig(Q(path));
    EXPECT_EQ(c.Host, "192.168.1.5");
    EXPECT_EQ(c.Port, 8080);
    EXPECT_EQ(c.Password, QStringLiteral("كلمة سر"));
    EXPECT_EQ(c.PollInterval, -5) << "no range on reading; the first section counts";
    EXPECT_TRUE(c.SoundEnabled) << "a word is no integer: the default";
    EXPECT_EQ(c.StyleName, "No Such Style");

    const struct {
        const char* Value;
        bool Sound;
    } sounds[] = {{"0", false}, {"2", true}, {"", true}, {"1", true}, {"-1", true}};
    for (const auto& s : sounds) {
        WriteFile(path, std::string("[Options]\nSoundEnabled=") + s.Value + "\nServerPort=x\n");
        EXPECT_EQ(LoadZelvanConfig(Q(path)).SoundEnabled, s.Sound) << s.Value;
    }
    WriteFile(path, "[Options]\nPollInterval=3\npollinterval=4\n");
    EXPECT_EQ(LoadZelvanConfig(Q(path)).PollInterval, 3) << "the first of two equal keys";
    WriteFile(path, "[Connection]\nServerPort=8080x\n");
    EXPECT_EQ(LoadZelvanConfig(Q(path)).Port, 80);
    WriteFile(path, "[Connection]\nServerPort=\n");
    EXPECT_EQ(LoadZelvanConfig(Q(path)).Port, 80);
}

TEST(IniFile, LongValuesAreCutAt2047Characters) {
    TTempDir dir;
    TIniFile ini(Q(dir.File("k.ini")));
    const QString password(3000, QChar(u'ك'));
    ini.WriteString("Connection", "Password", password);
    EXPECT_EQ(ini.ReadString("Connection", "Password", ""), password.left(2047));
}

TEST(IniFile, WritesKeepEveryOtherLine) {
    TTempDir dir;
    const std::string path = dir.File("k.ini");
    WriteFile(path,
              "; written by hand\r\n[Connection]\r\nServerHost=a\r\nUnknown=keep me\r\n\r\n"
              "[Other]\r\nx = 1\r\n");
    TIniFile ini(Q(path));
    ini.WriteString("CONNECTION", "serverhost", "b");
    ini.WriteInteger("Connection", "ServerPort", 8080);
    ini.WriteBool("Options", "SoundEnabled", false);
    EXPECT_EQ(ReadFile(path),
              "; written by hand\r\n[Connection]\r\nserverhost=b\r\nUnknown=keep me\r\n"
              "ServerPort=8080\r\n\r\n[Other]\r\nx = 1\r\n[Options]\r\nSoundEnabled=0\r\n");
    EXPECT_EQ(ini.ReadString("connection", "SERVERHOST", ""), "b");
    EXPECT_FALSE(ini.ReadBool("Options", "SoundEnabled", true));

    // Lines not written to stay byte for byte, even in another encoding or after a BOM.
    WriteFile(path,
              "\xef\xbb\xbf[Connection]\nServerHost=a\n; \xe3\xd1\xcd\xc8\xc7 (Windows-1256)\n");
    ini.WriteString("Connection", "ServerPort", "81");
    EXPECT_EQ(ReadFile(path),
              "\xef\xbb\xbf[Connection]\nServerHost=a\n; \xe3\xd1\xcd\xc8\xc7 "
              "(Windows-1256)\nServerPort=81\n");
    EXPECT_EQ(ini.ReadString("Connection", "ServerHost", ""), "a");

    // A value cannot smuggle a line of its own into the file.
    ini.WriteString("Connection", "ServerHost", "h\n[Connection]\nPassword=x");
    EXPECT_EQ(ini.ReadString("Connection", "Password", "none"), "none");
}

#ifndef _WIN32
TEST(IniFile, ANewFileIsCreatedForItsOwnerOnly) {
    TTempDir dir;
    const std::string path = dir.File("sub.dir.ini");
    TIniFile(Q(path)).WriteBool("Options", "SoundEnabled", true);
    EXPECT_EQ(ReadFile(path), "[Options]\nSoundEnabled=1\n");
    const auto perms = fs::status(path).permissions();
    EXPECT_EQ(perms & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
}

TEST(IniFile, AWriteCutShortRaisesAndLeavesTheOldFileWhole) {
    TTempDir dir;
    const std::string path = dir.File("k.ini");
    const std::string old = "[Connection]\nServerHost=old\n";
    WriteFile(path, old);
    TIniFile ini(Q(path));
    // A file size limit makes the write fail half-way, as a full disk would, even for root.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string raised;
    try {
        ini.WriteString("Connection", "ServerHost", QString(10000, u'x'));
    } catch (const EZelvanError& e) {
        raised = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(raised, "Unable to write to " + path);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";

    // A file that exists but cannot be read is never replaced by one holding only the new key.
    fs::remove(path);
    fs::create_directory(path);  // opening a folder as a file fails for root as well
    EXPECT_THROW(ini.WriteString("Connection", "ServerHost", "x"), EZelvanError);
    EXPECT_EQ(ini.ReadString("Connection", "ServerHost", "default"), "default");

    // A folder that does not exist cannot take the file either.
    TIniFile nowhere(Q(dir.File("missing/k.ini")));
    EXPECT_THROW(nowhere.WriteBool("Options", "SoundEnabled", true), EZelvanError);
}

namespace {

// Makes a folder take no new file, for root too (which ignores the permission bits): the
// immutable attribute where the file system has it. False where neither can be done.
bool RefuseNewFiles(const fs::path& AFolder, bool AOn) {
    if (geteuid() != 0) {
        fs::permissions(AFolder,
                        AOn ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
        return true;
    }
    const int fd = ::open(AFolder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = AOn ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

TEST(IniFile, AFolderThatTakesNoNewFileIsWrittenInPlace) {
    TTempDir dir;
    const fs::path folder = dir.Path() / "locked";
    fs::create_directory(folder);
    const std::string path = (folder / "k.ini").string();
    WriteFile(path, "[Connection]\nServerHost=old\n");
    if (!RefuseNewFiles(folder, true)) GTEST_SKIP() << "this file system cannot lock a folder";
    std::string raised;
    try {
        TIniFile(Q(path)).WriteString("Connection", "ServerHost", "new");
    } catch (const EZelvanError& e) {
        raised = e.what();
    }
    RefuseNewFiles(folder, false);
    EXPECT_EQ(raised, "");
    EXPECT_EQ(ReadFile(path), "[Connection]\nServerHost=new\n");
}

#endif  // the permission bits, the file size limit and the immutable folder are POSIX's

// A file in the encodings Windows writes (Notepad's "Unicode", the ANSI code page) is read, and a
// save keeps its encoding, its line ends and every byte of the lines it does not write.
TEST(IniFile, TheEncodingsWindowsWritesAreReadAndKept) {
    const auto bytes = [](QStringConverter::Encoding AEncoding, const QString& AText) {
        const QByteArray encoded = QStringEncoder(AEncoding)(AText);
        return encoded.toStdString();
    };
    const QString before = QStringLiteral(
        "[Connection]\r\nServerHost=سيرفر المدرسة\r\nPassword=كلمة éè\r\n; ملاحظة\r\n"
        "[Options]\r\nSoundEnabled=1\r\n");
    const QString after = QStringLiteral(
        "[Connection]\r\nServerHost=سيرفر المدرسة\r\nPassword=كلمة éè\r\n; ملاحظة\r\n"
        "[Options]\r\nSoundEnabled=0\r\n[Display]\r\nStyleName=Windows\r\n");
    struct TRow {
        const char* What;
        std::string Before, After;
        QString Password;
    };
    // Without a line break at its end, the last line is kept as it is and the new ones follow.
    const QString unended = QStringLiteral("[Connection]\r\nPassword=كلمة éè\r\n; ملاحظة");
    const QString unendedAfter =
        unended +
        QStringLiteral("\r\n[Options]\r\nSoundEnabled=0\r\n[Display]\r\nStyleName=Windows\r\n");
    std::vector<TRow> rows = {
        {"UTF-16LE with its mark", "\xFF\xFE" + bytes(QStringConverter::Utf16LE, before),
         "\xFF\xFE" + bytes(QStringConverter::Utf16LE, after), QStringLiteral("كلمة éè")},
        {"UTF-16LE without a last line break",
         "\xFF\xFE" + bytes(QStringConverter::Utf16LE, unended),
         "\xFF\xFE" + bytes(QStringConverter::Utf16LE, unendedAfter), QStringLiteral("كلمة éè")},
        {"UTF-16BE with its mark", "\xFE\xFF" + bytes(QStringConverter::Utf16BE, before),
         "\xFE\xFF" + bytes(QStringConverter::Utf16BE, after), QStringLiteral("كلمة éè")},
        {"UTF-16LE without a mark", bytes(QStringConverter::Utf16LE, before),
         bytes(QStringConverter::Utf16LE, after), QStringLiteral("كلمة éè")}};
#ifdef _WIN32
    // The ANSI code page: only text it can hold, and only where that is not UTF-8 already. The
    // test command runs these tests again in an Arabic locale, whose code page (1256) holds both.
    for (const QString& password : {QStringLiteral("éèà"), QStringLiteral("كلمة")}) {
        const QString ansiBefore =
            QStringLiteral("[Connection]\r\nPassword=%1\r\n; %1\r\n").arg(password);
        const QString ansiAfter =
            ansiBefore +
            QStringLiteral("[Options]\r\nSoundEnabled=0\r\n[Display]\r\nStyleName=Windows\r\n");
        QStringEncoder ansiEncoder(QStringConverter::System);
        const QByteArray ansi = ansiEncoder(ansiBefore);
        if (ansiEncoder.hasError() ||
            QStringDecoder(QStringConverter::System)(ansi) != ansiBefore || ansi.isValidUtf8())
            continue;
        rows.push_back({"the ANSI code page", ansi.toStdString(),
                        bytes(QStringConverter::System, ansiAfter), password});
    }
#endif
    for (const TRow& row : rows) {
        TTempDir dir;
        const std::string path = dir.File("k.ini");
        WriteFile(path, row.Before);
        TIniFile ini(Q(path));
        EXPECT_EQ(ini.ReadString("Connection", "Password", "none"), row.Password) << row.What;
        ini.WriteBool("Options", "SoundEnabled", false);
        ini.WriteString("Display", "StyleName", "Windows");
        EXPECT_EQ(ReadFile(path), row.After) << row.What;
    }
}

#ifndef _WIN32
// A file in an encoding that is not known here is read as far as it goes and never written into:
// lines of another encoding would make one file of two.
TEST(IniFile, AFileInAnUnknownEncodingIsNeverWrittenInto) {
    TTempDir dir;
    const std::string path = dir.File("k.ini");
    const std::string latin1 = "[Connection]\nServerPort=8080\nPassword=caf\xe9\n";
    WriteFile(path, latin1);
    TIniFile ini(Q(path));
    EXPECT_EQ(ini.ReadInteger("Connection", "ServerPort", 0), 8080);
    try {
        ini.WriteBool("Options", "SoundEnabled", false);
        ADD_FAILURE() << "written";
    } catch (const EZelvanError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith("Unable to write to " + Q(path)));
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("ترميز ملف الإعدادات")));
    }
    EXPECT_EQ(ReadFile(path), latin1);
}
#endif

#ifdef _WIN32
// A file another program holds open is left whole, and the message names it as Windows writes
// paths, with the likely cause in Arabic.
TEST(IniFile, AFileAnotherProgramHoldsOpenIsNamedWithItsCause) {
    TTempDir dir;
    const std::string path = dir.File("k.ini");
    WriteFile(path, "[Options]\r\nSoundEnabled=1\r\n");
    int held = -1;
    ASSERT_EQ(_wsopen_s(&held, Q(path).toStdWString().c_str(), _O_RDWR, _SH_DENYRW, 0), 0);
    try {
        TIniFile(Q(path)).WriteBool("Options", "SoundEnabled", false);
        ADD_FAILURE() << "written";
    } catch (const EZelvanError& e) {
        const QString said = QString::fromUtf8(e.what());
        EXPECT_TRUE(said.startsWith("Unable to write to " + QDir::toNativeSeparators(Q(path))))
            << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("برنامج آخر يفتحه")));
    }
    _close(held);
    EXPECT_EQ(ReadFile(path), "[Options]\r\nSoundEnabled=1\r\n");
}
#endif

TEST(IniFile, LeftoversOfASaveCutShortAreRemovedAndNothingElse) {
    TTempDir dir;
    const std::string path = dir.File("k.ini");
    WriteFile(dir.File("k.ini.kestaro-save-Ab12Cd"), "Password=secret\n");
    WriteFile(dir.File("k.ini.backup"), "mine\n");
    TIniFile(Q(path)).WriteBool("Options", "SoundEnabled", false);
    EXPECT_FALSE(fs::exists(dir.File("k.ini.kestaro-save-Ab12Cd")));
    EXPECT_TRUE(fs::exists(dir.File("k.ini.backup")));

    WriteFile(dir.File("k.ini.kestaro-save-Zz99Yy"), "Password=secret\n");
    TIniFile::RemoveLeftovers(Q(path));  // as at start-up
    EXPECT_FALSE(fs::exists(dir.File("k.ini.kestaro-save-Zz99Yy")));
    EXPECT_EQ(ReadFile(path), "[Options]\nSoundEnabled=0\n");
}

#ifndef _WIN32
TEST(IniPath, AProgramInAFolderItCannotWriteReadsTheFileBesideItAndSavesToItsOwn) {
    TTempDir dir;
    const fs::path bin = dir.Path() / "bin";
    fs::create_directory(bin);
    WriteFile((bin / "kestaro-zelvan.ini").string(),
              "[Connection]\nServerPort=18080\n[Display]\nStyleName=Windows10 Dark\n");
    const QByteArray savedHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.File("config")));
    const QString program = Q((bin / "kestaro-zelvan").string());
    const QString beside = Q((bin / "kestaro-zelvan.ini").string());
    const QString own = Q(dir.File("config/kestaro/kestaro-zelvan.ini"));
    EXPECT_EQ(ConfigFilePath(program), beside);
    EXPECT_EQ(ConfigSavePath(program), beside);

    if (!RefuseNewFiles(bin, true)) GTEST_SKIP() << "this file system cannot lock a folder";
    const QString readBefore = ConfigFilePath(program);
    const bool folderMadeByReading = fs::exists(dir.File("config/kestaro"));
    const QString saveTo = ConfigSavePath(program);
    TIniFile(saveTo).WriteBool("Options", "SoundEnabled", false);
    const QString readAfter = ConfigFilePath(program);
    RefuseNewFiles(bin, false);
    qputenv("XDG_CONFIG_HOME", savedHome);

    EXPECT_EQ(readBefore, beside) << "the administrator's file is read, not the defaults";
    EXPECT_FALSE(folderMadeByReading);
    EXPECT_EQ(saveTo, own);
    EXPECT_EQ(readAfter, own) << "what the user saved is what the program uses";
    const TZelvanConfig config = LoadZelvanConfig(own);
    EXPECT_EQ(config.Port, 18080) << "the save of one key keeps the others";
    EXPECT_EQ(config.StyleName, "Windows10 Dark");
    EXPECT_FALSE(config.SoundEnabled);
    EXPECT_EQ(LoadZelvanConfig(beside).SoundEnabled, true) << "the file beside is not touched";
}

// An installed program never writes beside itself, even where it could (run as root): it reads
// an administrator's file there and saves to the user's own. A folder of its own keeps the file.
// An installed program starts from the administrator's file in the system's configuration folder
// (never from one beside it in /usr/bin) and saves to the user's own; a copy of its own folder
// keeps its file beside it.
TEST(IniPath, AnInstalledProgramReadsTheAdministratorsFileAndSavesToTheUsersOwn) {
    TTempDir dir;
    const QByteArray savedHome = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedDirs = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.File("config")));
    qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(dir.File("etc-xdg")));
    const QString own = Q(dir.File("config/kestaro/kestaro-zelvan.ini"));
    const QString administrators = Q(dir.File("etc-xdg/kestaro/kestaro-zelvan.ini"));
    const struct {
        const char* Folder;
        bool Installed;
    } rows[] = {{"usr/bin", true},       {"usr/local/bin", true}, {"root/usr/games", true},
                {"apps/kestaro", false}, {"usr/binaries", false}, {"bin", false}};
    for (const auto& row : rows) {
        const fs::path folder = dir.Path() / row.Folder;
        fs::create_directories(folder);
        const QString program = Q((folder / "kestaro-zelvan").string());
        const QString defaults =
            row.Installed ? administrators : Q((folder / "kestaro-zelvan.ini").string());
        fs::create_directories(fs::path(defaults.toStdString()).parent_path());
        WriteFile(defaults.toStdString(), "[Connection]\nServerPort=18080\n");
        WriteFile(
            (folder / "kestaro-zelvan.ini").string(),
            row.Installed ? "[Connection]\nServerPort=1\n" : "[Connection]\nServerPort=18080\n");
        fs::remove(own.toStdString());
        EXPECT_EQ(ConfigFilePath(program), defaults) << row.Folder;
        EXPECT_EQ(IsAdministratorsFile(program, defaults), row.Installed) << row.Folder;
        const QString saveTo = ConfigSavePath(program);
        EXPECT_EQ(saveTo, row.Installed ? own : defaults) << row.Folder;
        TIniFile(saveTo).WriteBool("Options", "SoundEnabled", false);
        EXPECT_EQ(ConfigFilePath(program), saveTo) << row.Folder;
        EXPECT_EQ(LoadZelvanConfig(saveTo).Port, 18080) << row.Folder;
    }
    qputenv("XDG_CONFIG_HOME", savedHome);
    qputenv("XDG_CONFIG_DIRS", savedDirs);
}

TEST(IniFile, ASaveWritesThroughALinkKeepsTheModeAndRespectsAReadOnlyFile) {
    TTempDir dir;
    const std::string target = dir.File("real.ini");
    const std::string link = dir.File("k.ini");
    WriteFile(target, "[Connection]\nServerHost=old\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(target, link);
    TIniFile(Q(link)).WriteString("Connection", "ServerHost", "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "[Connection]\nServerHost=new\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string raised;
    try {
        TIniFile(Q(target)).WriteString("Connection", "ServerHost", "newer");
    } catch (const EZelvanError& e) {
        raised = e.what();
    }
    if (geteuid() == 0) {
        // Root may write a read-only file, but the file stays read-only.
        EXPECT_EQ(ReadFile(target), "[Connection]\nServerHost=newer\n");
    } else {
        EXPECT_EQ(raised, "Unable to write to " + target);
        EXPECT_EQ(ReadFile(target), "[Connection]\nServerHost=new\n");
    }
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

#endif  // the permission bits, the file size limit and the immutable folder are POSIX's

TEST(IniFile, AFileTooLargeToBeAConfigurationReadsAsMissingAndIsNeverWritten) {
    TTempDir dir;
    const std::string path = dir.File("k.ini");
    std::string big = "[Connection]\nServerPort=18080\n";
    big.resize(std::size_t(TIniFile::MaxFileSize) + 1, ';');
    WriteFile(path, big);
    bool tooLarge = false;
    EXPECT_EQ(LoadZelvanConfig(Q(path), &tooLarge).Port, 80);
    EXPECT_TRUE(tooLarge);
    EXPECT_THROW(TIniFile(Q(path)).WriteBool("Options", "SoundEnabled", false), EZelvanError);
    EXPECT_EQ(ReadFile(path), big);
}

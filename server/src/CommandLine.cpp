#include "CommandLine.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

const char* const UsageText =
    "Usage: kestaro-server [--host 127.0.0.1] [--port 8080] [--db PATH]\n"
    "                      [--password-file FILE | --password TEXT | --demo] [--seed N]\n"
    "                      [--simulate SECONDS] [--tls-cert FILE --tls-key FILE]\n"
    "\n"
    "A local Kestaro server: certificate requests over HTTP, stored in SQLite.\n"
    "\n"
    "Options:\n"
    "  --host ADDRESS        address to listen on (default 127.0.0.1)\n"
    "  --port PORT           port to listen on, 0 for any free port (default 8080)\n"
    "  --db PATH             database file (default kestaro.db in the working directory)\n"
    "  --password-file FILE  the password of the account \"user\": the file's first line\n"
    "  --password TEXT       the same on the command line, where every local user can read it;\n"
    "                        for demonstrations only\n"
    "  --demo                the demonstration's password 2613, said on start-up; without a\n"
    "                        password from a file, an option or the environment, and without\n"
    "                        --demo, the server does not start\n"
    "  --seed N              fill an empty database with N sample requests\n"
    "  --simulate SECONDS    add a new pending request every SECONDS seconds\n"
    "  --log-requests        print a line for every request: method, path, status, user agent\n"
    "  --tls-cert FILE       serve HTTPS with this certificate (PEM, the chain after it)\n"
    "  --tls-key FILE        ... and this private key (PEM); both or neither\n"
    "  --help                show this text and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Environment:\n"
    "  KESTARO_PASSWORD      the password, where neither option gives one (not empty)\n";

const char* const VersionText = "kestaro-server " KESTARO_VERSION "\n";

namespace {

// The first line of the file, without its line break.
std::optional<std::string> ReadPasswordFile(const std::string& APath) {
    std::ifstream file(APath, std::ios::binary);
    std::string line;
    if (!file || !std::getline(file, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> ReadWholeFile(const std::string& APath) {
    std::ifstream file(APath, std::ios::binary);
    if (!file) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return text;
}

bool ReadInt(const std::string& AText, int ALow, int AHigh, int& AValue) {
    const char* end = AText.data() + AText.size();
    const auto [stop, error] = std::from_chars(AText.data(), end, AValue);
    return error == std::errc() && stop == end && AValue >= ALow && AValue <= AHigh;
}

}  // namespace

std::optional<TCommandLine> ParseCommandLine(const std::vector<std::string>& AArgs,
                                             std::string& AError,
                                             const char* APasswordFromEnvironment) {
    TCommandLine line;
    bool demo = false;
    bool given = false;
    if (APasswordFromEnvironment) {
        if (!*APasswordFromEnvironment) {
            AError = "KESTARO_PASSWORD is set but empty";
            return std::nullopt;
        }
        line.Server.Password = APasswordFromEnvironment;
        line.PasswordSource = "the environment (KESTARO_PASSWORD)";
        given = true;
    }
    std::optional<std::string> passwordFile;
    std::optional<std::string> certificateFile, keyFile;
    for (std::size_t i = 0; i < AArgs.size(); ++i) {
        const std::string& option = AArgs[i];
        if (option == "--help" || option == "-h") {
            line.Help = true;
            continue;
        }
        if (option == "--version") {
            line.Version = true;
            continue;
        }
        if (option == "--log-requests") {
            line.Server.LogRequests = true;
            continue;
        }
        if (option == "--demo") {
            demo = true;
            continue;
        }
        if (i + 1 >= AArgs.size()) {
            AError = option.rfind("--", 0) == 0 ? option + " needs a value"
                                                : "unknown argument " + option;
            return std::nullopt;
        }
        const std::string& value = AArgs[++i];
        bool ok = true;
        if (option == "--host") {
            line.Server.Host = value;
        } else if (option == "--port") {
            ok = ReadInt(value, 0, 65535, line.Server.Port);
        } else if (option == "--db") {
            line.Server.DatabasePath = value;
        } else if (option == "--password") {
            line.Server.Password = value;
            line.PasswordSource = "the command line (--password)";
            given = !value.empty();
        } else if (option == "--password-file") {
            passwordFile = value;
        } else if (option == "--tls-cert") {
            certificateFile = value;
        } else if (option == "--tls-key") {
            keyFile = value;
        } else if (option == "--seed") {
            ok = ReadInt(value, 0, 1000000, line.Seed);
        } else if (option == "--simulate") {
            ok = ReadInt(value, 0, 86400, line.SimulateSeconds);
        } else {
            AError = "unknown option " + option;
            return std::nullopt;
        }
        if (!ok) {
            AError = "invalid value for " + option + ": " + value;
            return std::nullopt;
        }
    }
    if (certificateFile.has_value() != keyFile.has_value()) {
        AError = "--tls-cert and --tls-key go together";
        return std::nullopt;
    }
    if (certificateFile) {
        for (const auto& [path, into] :
             {std::pair{*certificateFile, &line.Server.TlsCertificatePem},
              std::pair{*keyFile, &line.Server.TlsKeyPem}}) {
            const auto text = ReadWholeFile(path);
            if (!text || text->empty()) {
                AError = "cannot read " + path;
                return std::nullopt;
            }
            *into = *text;
        }
    }
    if (passwordFile) {
        const auto password = ReadPasswordFile(*passwordFile);
        if (!password || password->empty()) {
            AError = "no password in the file " + *passwordFile;
            return std::nullopt;
        }
        line.Server.Password = *password;
        line.PasswordSource = "the file " + *passwordFile;
        std::error_code error;
        const auto permissions = std::filesystem::status(*passwordFile, error).permissions();
        using std::filesystem::perms;
        if (!error && (permissions & (perms::group_all | perms::others_all)) != perms::none)
            line.Warnings.push_back("the password file " + *passwordFile +
                                    " may be read by other users; chmod 600 it");
        given = true;
    }
    // A server started as a service without its password must not run with the one printed
    // in every README: the demonstration's password is used only when asked for by name.
    if (!given && !demo && !line.Help && !line.Version) {
        AError = "no password given: use --password-file FILE, KESTARO_PASSWORD, or --demo";
        return std::nullopt;
    }
    if (!given) line.Server.Password = "2613";
    return line;
}

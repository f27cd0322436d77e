#include "AutoStart.h"

#include <windows.h>

#include <string>

#include "WindowsPaths.h"

using WindowsPaths::Wide;

namespace {

const wchar_t* const RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Closes the key on every way out.
struct TKey {
    HKEY Handle = nullptr;
    ~TKey() {
        if (Handle) RegCloseKey(Handle);
    }
};

// The command the value holds, its variables expanded where its type says so; empty when it is
// not text.
std::wstring Command(HKEY AKey) {
    const std::wstring name = Wide(TAutoStart::EntryName);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(AKey, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = DWORD(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(AKey, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                         &bytes) != ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    if (type == REG_EXPAND_SZ) {
        std::wstring expanded(32767, L'\0');
        const DWORD length =
            ExpandEnvironmentStringsW(text.c_str(), expanded.data(), DWORD(expanded.size()));
        if (length > 0 && length <= expanded.size()) text = expanded.c_str();
    }
    return text;
}

// Whether ACommand starts AProgram, read as Windows reads a command: a quoted program, or
// unquoted, the shortest run of its words that names the program's file.
bool Starts(const std::wstring& ACommand, const std::wstring& AProgram) {
    if (ACommand.empty()) return false;
    if (ACommand[0] == L'"') {
        const std::size_t close = ACommand.find(L'"', 1);
        return WindowsPaths::SameFile(ACommand.substr(1, close - 1), AProgram);
    }
    for (std::size_t end = ACommand.find(L' ');; end = ACommand.find(L' ', end + 1)) {
        if (WindowsPaths::SameFile(ACommand.substr(0, end), AProgram)) return true;
        if (end == std::wstring::npos) return false;
    }
}

}  // namespace

bool TAutoStart::IsEnabled(const std::string& AExecutable) {
    TKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, RunKey, 0, KEY_READ, &key.Handle) == ERROR_SUCCESS &&
           Starts(Command(key.Handle), Wide(AExecutable));
}

TAutoStart::TResult TAutoStart::Set(bool AEnable, const std::string& AExecutable) {
    TKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &key.Handle, nullptr) != ERROR_SUCCESS)
        return TResult::NotOpened;
    const std::wstring name = Wide(EntryName);
    if (!AEnable) {
        if (Starts(Command(key.Handle), Wide(AExecutable)))
            RegDeleteValueW(key.Handle, name.c_str());
        return TResult::Done;
    }
    const std::wstring data = L"\"" + Wide(AExecutable) + L"\"";
    const DWORD bytes = DWORD((data.size() + 1) * sizeof(wchar_t));  // with the closing zero
    return RegSetValueExW(key.Handle, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS
               ? TResult::Done
               : TResult::WriteFailed;
}

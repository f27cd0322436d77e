#include "AutoStart.h"

#include <windows.h>

#include <string>

namespace {

const wchar_t* const RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring Wide(const std::string& AUtf8) {
    if (AUtf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, AUtf8.data(), int(AUtf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, AUtf8.data(), int(AUtf8.size()), wide.data(), size);
    return wide;
}

// Closes the key on every way out.
struct TKey {
    HKEY Handle = nullptr;
    ~TKey() {
        if (Handle) RegCloseKey(Handle);
    }
};

}  // namespace

bool TAutoStart::IsEnabled() {
    TKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RunKey, 0, KEY_READ, &key.Handle) != ERROR_SUCCESS)
        return false;
    const std::wstring name = Wide(EntryName);
    return RegQueryValueExW(key.Handle, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

TAutoStart::TResult TAutoStart::Set(bool AEnable, const std::string& AExecutable) {
    TKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key.Handle,
                        nullptr) != ERROR_SUCCESS)
        return TResult::NotOpened;
    const std::wstring name = Wide(EntryName);
    if (!AEnable) {
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

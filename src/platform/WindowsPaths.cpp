#include "WindowsPaths.h"

#include <windows.h>

#include <optional>
#include <utility>

namespace WindowsPaths {

namespace {

// Calls AFill(buffer, size), which returns the length it needs (with the closing zero) when the
// buffer is too short, the length written otherwise, and 0 on failure.
template <typename TFill>
std::optional<std::wstring> Filled(TFill AFill) {
    std::wstring text(MAX_PATH, L'\0');
    DWORD length = AFill(text.data(), DWORD(text.size()));
    if (length >= text.size()) {
        text.resize(length);
        length = AFill(text.data(), DWORD(text.size()));
    }
    if (length == 0 || length >= text.size()) return std::nullopt;
    text.resize(length);
    return text;
}

struct THandle {
    HANDLE Handle = INVALID_HANDLE_VALUE;
    ~THandle() {
        if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    }
};

std::optional<std::pair<DWORD, ULONGLONG>> Identity(const std::wstring& APath) {
    // No access asked: the file's identity can be read while another program holds it.
    THandle file{CreateFileW(APath.c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    BY_HANDLE_FILE_INFORMATION info{};
    if (file.Handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.Handle, &info))
        return std::nullopt;
    return std::pair{info.dwVolumeSerialNumber,
                     (ULONGLONG(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

std::wstring Wide(const std::string& AUtf8) {
    if (AUtf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, AUtf8.data(), int(AUtf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, AUtf8.data(), int(AUtf8.size()), wide.data(), size);
    return wide;
}

std::string Utf8(const std::wstring& AWide) {
    if (AWide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, AWide.data(), int(AWide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(std::size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, AWide.data(), int(AWide.size()), text.data(), size, nullptr,
                        nullptr);
    return text;
}

// GetLongPathNameW fails for a path whose last part does not exist (a configuration file not yet
// written), so the longest part that exists is expanded and the rest kept as written.
std::wstring LongForm(const std::wstring& APath) {
    const std::wstring full = Filled([&](wchar_t* ABuffer, DWORD ASize) {
                                  return GetFullPathNameW(APath.c_str(), ASize, ABuffer, nullptr);
                              }).value_or(APath);
    if (auto expanded = Filled([&](wchar_t* ABuffer, DWORD ASize) {
            return GetLongPathNameW(full.c_str(), ABuffer, ASize);
        }))
        return *expanded;
    const std::size_t slash = full.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash + 1 == full.size() ||
        full.find_first_of(L"\\/") == slash)
        return full;
    return LongForm(full.substr(0, slash)) + L'\\' + full.substr(slash + 1);
}

std::wstring OneSpelling(const std::wstring& APath) {
    std::wstring spelling = LongForm(APath);
    if (!spelling.empty()) CharLowerBuffW(spelling.data(), DWORD(spelling.size()));
    return spelling;
}

bool SameFile(const std::wstring& AFirst, const std::wstring& ASecond) {
    const auto first = Identity(AFirst);
    const auto second = Identity(ASecond);
    if (first && second) return *first == *second;
    return OneSpelling(AFirst) == OneSpelling(ASecond);
}

}  // namespace WindowsPaths

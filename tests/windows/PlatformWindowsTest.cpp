// The Windows side of the platform layer, against the real registry and sound API (run under
// wine on the build machines). A tiny runner of its own: each check prints its name when it
// fails, and the last line counts them.
#include <windows.h>

#include <cstdio>
#include <string>

#include "AlertSound.h"
#include "AutoStart.h"
#include "WindowsPaths.h"

namespace {

using WindowsPaths::Utf8;

int Passed = 0;
int Failed = 0;

void Check(bool AOk, const char* AWhat) {
    if (AOk) {
        ++Passed;
    } else {
        ++Failed;
        std::printf("FAILED: %s\n", AWhat);
    }
}

const wchar_t* const RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct TValue {
    bool Present = false;
    DWORD Type = 0;
    DWORD Bytes = 0;
    std::wstring Text;
};

TValue ReadValue() {
    TValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    wchar_t data[1024] = {};
    DWORD bytes = sizeof data;
    value.Present = RegQueryValueExW(key, L"KestaroZelvan", nullptr, &value.Type,
                                     reinterpret_cast<BYTE*>(data), &bytes) == ERROR_SUCCESS;
    value.Bytes = bytes;
    if (value.Present && value.Type == REG_SZ) value.Text = data;
    RegCloseKey(key);
    return value;
}

bool WriteValue(DWORD AType, const BYTE* AData, DWORD ABytes) {
    HKEY key = nullptr;
    const bool made =
        RegCreateKeyExW(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS &&
        RegSetValueExW(key, L"KestaroZelvan", 0, AType, AData, ABytes) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    return made;
}

bool WriteText(DWORD AType, const std::wstring& AText) {
    return WriteValue(AType, reinterpret_cast<const BYTE*>(AText.c_str()),
                      DWORD((AText.size() + 1) * sizeof(wchar_t)));
}

// A program file of our own in a folder whose name Windows also gives in a short (8.3) form.
std::wstring MakeProgram(const std::wstring& AFolder) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + AFolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring program = folder + L"\\kestaro-zelvan.exe";
    CloseHandle(CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    return program;
}

std::wstring Upper(std::wstring AText) {
    CharUpperBuffW(AText.data(), DWORD(AText.size()));
    return AText;
}

}  // namespace

int main() {
    const std::string first = "C:\\Program Files\\Kestaro\\kestaro-zelvan.exe";
    const std::string second = "D:\\مدرسة\\kestaro-zelvan.exe";  // UTF-8 in, UTF-16 stored

    TAutoStart::Set(true, first);
    TAutoStart::Set(false, first);
    Check(!ReadValue().Present, "absent at the start");

    Check(TAutoStart::Set(true, first) == TAutoStart::TResult::Done, "write");
    TValue value = ReadValue();
    Check(value.Present && value.Type == REG_SZ, "written as REG_SZ");
    Check(value.Text == L"\"C:\\Program Files\\Kestaro\\kestaro-zelvan.exe\"", "quoted full path");
    Check(value.Bytes == (value.Text.size() + 1) * sizeof(wchar_t), "size counts the zero");
    Check(TAutoStart::IsEnabled(first), "read back as this copy's");

    Check(TAutoStart::Set(true, second) == TAutoStart::TResult::Done, "overwrite");
    Check(ReadValue().Text == L"\"D:\\\u0645\u062f\u0631\u0633\u0629\\kestaro-zelvan.exe\"",
          "overwritten with the other path");

    Check(TAutoStart::Set(false, second) == TAutoStart::TResult::Done, "delete");
    Check(!TAutoStart::IsEnabled(second) && !ReadValue().Present, "gone after delete");
    Check(TAutoStart::Set(false, second) == TAutoStart::TResult::Done, "delete when absent");

    // The value is this copy's whatever path names its file; another copy's is left alone.
    const std::wstring program = MakeProgram(L"Kestaro Long Folder Name");
    const std::wstring other = MakeProgram(L"Kestaro Other Folder");
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(program.c_str(), shortName, MAX_PATH);
    Check(Upper(shortName) != Upper(program), "the folder has a short name");
    Check(TAutoStart::Set(true, Utf8(program)) == TAutoStart::TResult::Done, "this copy's");
    for (const std::wstring& spelling : {program, Upper(program), std::wstring(shortName)})
        Check(TAutoStart::IsEnabled(Utf8(spelling)), "this copy's in any spelling");
    Check(!TAutoStart::IsEnabled(Utf8(other)), "not another copy's");
    TAutoStart::Set(false, Utf8(other));
    Check(ReadValue().Present, "another copy's value kept by its unticked save");
    const struct {
        DWORD Type;
        std::wstring Text;
        bool Ours;
    } commands[] = {
        {REG_SZ, program + L" --minimised", true},  // unquoted, as hand-written
        {REG_SZ, L"\"" + program + L"\" --minimised", true},
        {REG_EXPAND_SZ, L"\"%TEMP%\\Kestaro Long Folder Name\\kestaro-zelvan.exe\"", true},
        {REG_SZ, L"\"" + other + L"\"", false},
        {REG_SZ, L"", false},
    };
    for (const auto& command : commands) {
        WriteText(command.Type, command.Text);
        Check(TAutoStart::IsEnabled(Utf8(program)) == command.Ours, Utf8(command.Text).c_str());
    }
    TAutoStart::Set(false, Utf8(Upper(program)));
    Check(ReadValue().Present, "an empty value is not this copy's to remove");
    WriteText(REG_SZ, L"\"" + std::wstring(shortName) + L"\"");
    TAutoStart::Set(false, Utf8(Upper(program)));
    Check(!ReadValue().Present, "this copy's value removed, named in another spelling");

    const DWORD number = 1;
    Check(WriteValue(REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number) &&
              !TAutoStart::IsEnabled(first),
          "a value that is not text starts no copy");
    TAutoStart::Set(true, first);
    TAutoStart::Set(false, first);

    TAlertSound::PlayInformation();  // its failure is ignored; it must simply return
    Check(true, "the information sound was asked for");

    std::printf("%d passed, %d failed\n", Passed, Failed);
    return Failed == 0 ? 0 : 1;
}

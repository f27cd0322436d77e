// The Windows side of the platform layer, against the real registry and sound API (run under
// wine on the build machines). A tiny runner of its own: each check prints its name when it
// fails, and the last line counts them.
#include <windows.h>

#include <cstdio>
#include <string>

#include "AlertSound.h"
#include "AutoStart.h"

namespace {

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

}  // namespace

int main() {
    const std::string first = "C:\\Program Files\\Kestaro\\kestaro-zelvan.exe";
    const std::string second = "D:\\مدرسة\\kestaro-zelvan.exe";  // UTF-8 in, UTF-16 stored

    TAutoStart::Set(false, first);
    Check(!TAutoStart::IsEnabled(), "absent at the start");

    Check(TAutoStart::Set(true, first) == TAutoStart::TResult::Done, "write");
    TValue value = ReadValue();
    Check(value.Present && value.Type == REG_SZ, "written as REG_SZ");
    Check(value.Text == L"\"C:\\Program Files\\Kestaro\\kestaro-zelvan.exe\"", "quoted full path");
    Check(value.Bytes == (value.Text.size() + 1) * sizeof(wchar_t), "size counts the zero");
    Check(TAutoStart::IsEnabled(), "read back as present");

    Check(TAutoStart::Set(true, second) == TAutoStart::TResult::Done, "overwrite");
    Check(ReadValue().Text == L"\"D:\\\u0645\u062f\u0631\u0633\u0629\\kestaro-zelvan.exe\"",
          "overwritten with the other path");

    Check(TAutoStart::Set(false, second) == TAutoStart::TResult::Done, "delete");
    Check(!TAutoStart::IsEnabled() && !ReadValue().Present, "gone after delete");
    Check(TAutoStart::Set(false, second) == TAutoStart::TResult::Done, "delete when absent");

    HKEY key = nullptr;
    const DWORD number = 1;
    const bool made =
        RegCreateKeyExW(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS &&
        RegSetValueExW(key, L"KestaroZelvan", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                       sizeof number) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    Check(made && TAutoStart::IsEnabled(), "present with another type of data counts as present");
    TAutoStart::Set(false, first);

    TAlertSound::PlayInformation();  // its failure is ignored; it must simply return
    Check(true, "the information sound was asked for");

    std::printf("%d passed, %d failed\n", Passed, Failed);
    return Failed == 0 ? 0 : 1;
}

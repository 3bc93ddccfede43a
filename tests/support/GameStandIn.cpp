// A stand-in for an outside program (the game's CoDWaWmp.exe, the relay's pbucon.exe) for the
// Windows tests: it writes its working folder and then each argument, one a line, to
// "record.txt" beside itself, as the Linux tests' shell stand-ins do, and ends. The file appears
// whole (written under another name, then renamed), so a test may read it as soon as it exists.
#include <string>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace {

std::string utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    }
    return bytes;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    folder.erase(folder.find_last_of(L'\\') + 1);

    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    std::string record = utf8(current) + "\n";
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; arguments && i < count; ++i) {
        record += utf8(arguments[i]) + "\n";
    }
    LocalFree(arguments);

    const std::wstring part = folder + L"record.txt.part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, record.data(), DWORD(record.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(part.c_str(), (folder + L"record.txt").c_str(), MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 1;
}

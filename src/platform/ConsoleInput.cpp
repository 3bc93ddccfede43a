#include "ConsoleInput.h"

#include <iostream>
#include <iterator>
#include <string>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace garrison {

namespace {

std::optional<QString> readBytesLine()
{
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    QString text = QString::fromUtf8(line);
    // A file written on Windows, read where the runtime leaves its CR in place.
    if (text.endsWith(QLatin1Char('\r'))) {
        text.chop(1);
    }
    return text;
}

#ifdef Q_OS_WIN

HANDLE consoleInput()
{
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)
               ? handle
               : nullptr;
}

// A line as the console's line editing hands it over, in UTF-16. Ctrl+Z at the start of a
// line ends the input, as it does for every console program.
std::optional<QString> readConsoleLine(HANDLE handle)
{
    QString line;
    wchar_t buffer[256];
    for (;;) {
        DWORD read = 0;
        if (!ReadConsoleW(handle, buffer, DWORD(std::size(buffer)), &read, nullptr) || read == 0) {
            return line.isEmpty() ? std::nullopt : std::optional<QString>(line);
        }
        line += QString::fromWCharArray(buffer, qsizetype(read));
        if (line.endsWith(QLatin1Char('\n'))) {
            break;
        }
    }
    if (line.startsWith(QChar(0x1A))) {
        return std::nullopt;
    }
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) {
        line.chop(1);
    }
    return line;
}

#endif

} // namespace

#ifdef Q_OS_WIN

bool ConsoleInput::isTerminal()
{
    return consoleInput() != nullptr;
}

std::optional<QString> ConsoleInput::readLine()
{
    if (HANDLE handle = consoleInput()) {
        return readConsoleLine(handle);
    }
    return readBytesLine();
}

std::optional<QString> ConsoleInput::readHiddenLine()
{
    HANDLE handle = consoleInput();
    if (handle == nullptr) {
        return std::nullopt;
    }
    DWORD saved = 0;
    GetConsoleMode(handle, &saved);
    SetConsoleMode(handle, (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                               ~DWORD(ENABLE_ECHO_INPUT));
    std::optional<QString> line = readConsoleLine(handle);
    SetConsoleMode(handle, saved);
    return line;
}

#else

bool ConsoleInput::isTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

std::optional<QString> ConsoleInput::readLine()
{
    return readBytesLine();
}

std::optional<QString> ConsoleInput::readHiddenLine()
{
    if (!isTerminal()) {
        return std::nullopt;
    }
    termios saved{};
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    std::optional<QString> line = readBytesLine();
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return line;
}

#endif

} // namespace garrison

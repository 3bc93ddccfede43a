#include "ConsoleOutput.h"

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace garrison {

namespace {

void writeBytes(std::FILE* file, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), file);
    std::fflush(file);
}

} // namespace

void ConsoleOutput::write(Stream stream, const QString& text)
{
    std::FILE* file = stream == Stream::Output ? stdout : stderr;
#ifdef Q_OS_WIN
    // A console shows UTF-8 bytes in its own code page (850, 1252...): it gets UTF-16 instead.
    HANDLE handle = GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        std::fflush(file);
        QString shown = text;
        shown.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        const auto* characters = reinterpret_cast<const wchar_t*>(shown.utf16());
        qsizetype left = shown.size();
        while (left > 0) {
            DWORD written = 0;
            // Large writes fail on older consoles: a few thousand characters at a time.
            const DWORD piece = static_cast<DWORD>(std::min<qsizetype>(left, 8192));
            if (!WriteConsoleW(handle, characters, piece, &written, nullptr) || written == 0) {
                break;
            }
            characters += written;
            left -= written;
        }
        return;
    }
#endif
    writeBytes(file, text);
}

void ConsoleOutput::reachParentConsole()
{
#ifdef Q_OS_WIN
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN) {
        return;
    }
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

} // namespace garrison

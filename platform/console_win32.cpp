#include "console.h"

#include "text/codepage.h"
#include "win32.h"

#include <shellapi.h>

namespace platform {
namespace {

// A program with windows started from a command prompt has no output of its own: it writes to
// the console it was started from. Output sent to a file or a pipe is used as it is.
HANDLE parentConsole() {
    static const HANDLE console = [] {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS))
            return INVALID_HANDLE_VALUE;
        return ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    }();
    return console;
}

HANDLE handleOf(Output output) {
    HANDLE handle =
        ::GetStdHandle(output == Output::Standard ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    return handle && handle != INVALID_HANDLE_VALUE ? handle : parentConsole();
}

} // namespace

bool isTerminal(Output output) {
    DWORD mode = 0;
    return ::GetConsoleMode(handleOf(output), &mode) != 0;
}

namespace {

bool writeConsole(HANDLE handle, const std::wstring& wide) {
    // A console shows UTF-16 whatever its code page.
    DWORD written = 0;
    return wide.empty() || ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()),
                                           &written, nullptr) != 0;
}

bool writeBytes(HANDLE handle, std::string_view text) {
    while (!text.empty()) {
        DWORD written = 0;
        if (!::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

} // namespace

bool writeHostText(Output output, std::string_view utf8) {
    HANDLE handle = handleOf(output);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return false;
    return isTerminal(output) ? writeConsole(handle, text::wideFromUtf8(utf8))
                              : writeBytes(handle, utf8);
}

bool writeOutput(Output output, std::string_view text) {
    HANDLE handle = handleOf(output);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return false;
    if (isTerminal(output))
        return writeConsole(handle, text::wideFromAnsi(text));
    // Into a file or a pipe: the program's own code page 950 text, as the system's
    // Traditional Chinese programs write.
    return writeBytes(handle, text);
}

std::vector<std::string> commandLineArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(text::ansiFromWide(wide[i])); // "?" where code page 950 has no form
    ::LocalFree(wide);
    return arguments;
}

bool windowsCanShow(const std::vector<std::string>&) {
    return true; // the desktop is always there
}

} // namespace platform

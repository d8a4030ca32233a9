/*
 * Runs a Windows program and keeps its exit code in a file:
 *
 *     exit_code.exe CODE_FILE program.exe [arguments]
 *
 * waits for the program, writes its exit code (decimal) to CODE_FILE and
 * exits with it. Under Wine the status a Unix parent sees is not always
 * the program's: once a process has ended for Windows, wineserver kills
 * what is left of it (SIGKILL) when it does not leave within a second,
 * which a busy machine can make happen to a program that ended with 0.
 * The code in the file is the one Windows got. The program inherits the
 * standard handles; its command line is this one's after CODE_FILE, as it
 * stood.
 */
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

/* The command line after its first N arguments, as it stood. */
static const wchar_t* skipArguments(const wchar_t* line, int n)
{
    while (n-- > 0) {
        int quoted = 0;
        while (*line == L' ' || *line == L'\t')
            ++line;
        while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
            if (*line == L'"')
                quoted = !quoted;
            ++line;
        }
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

int main(void)
{
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv || count < 3) {
        fputs("usage: exit_code.exe CODE_FILE program.exe [arguments]\n", stderr);
        return 64;
    }
    const wchar_t* codeFile = argv[1];
    wchar_t* command = _wcsdup(skipArguments(GetCommandLineW(), 2));
    STARTUPINFOW startup = {0};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {0};
    if (!command || !CreateProcessW(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        fwprintf(stderr, L"exit_code: cannot start %ls (error %lu)\n", argv[2], GetLastError());
        return 70;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 70;
    GetExitCodeProcess(process.hProcess, &code);
    FILE* file = _wfopen(codeFile, L"w");
    if (!file || fprintf(file, "%lu\n", (unsigned long)code) < 0 || fclose(file) != 0) {
        fwprintf(stderr, L"exit_code: cannot write %ls\n", codeFile);
        return 70;
    }
    return (int)code;
}

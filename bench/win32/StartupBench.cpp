// From start to the editor taking input: starts Orvik.exe without arguments several times and
// measures, from CreateProcess, when its editor window exists and answers messages. Its floor is
// what a bare window program takes to answer, plus the 2000 ms the splash stays up; the goal is
// to stay within 100 ms of it.
//
//   orvik_bench_startup <path of Orvik.exe> [runs] [path of orvik_bench_floor.exe]
//
// With the floor program, it is started in turns with Orvik.exe: what starting any process and
// its first window costs here, measured under the same load.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/common/Report.h"
#include "bench/win32/StartupProbe.h"
#include "bench/win32/WinTiming.h"
#include "platform/win32/common/WideText.h"

namespace {

constexpr double kSplashMs = 2000;
constexpr double kAboveFloorMs = 100;
constexpr double kGiveUpMs = 20000;

struct Run {
    bool ok = false;
    double firstWindowMs = 0;
    double editorFoundMs = 0;  // the editor window exists and shows
    double editorMs = 0;       // ... and answers
};

void Close(const PROCESS_INFORMATION& process, HWND editor) {
    if (editor) PostMessageW(editor, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

Run StartOnce(const std::wstring& program, const std::wstring& folder) {
    Run run;
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bench::Moment start = bench::Now();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        std::printf("CreateProcess failed: %lu\n", GetLastError());
        return run;
    }
    HWND editor = nullptr;
    while (true) {
        const double now = bench::Since(start).wallMs;
        if (run.firstWindowMs == 0 && bench::FindAnyWindow(process.dwProcessId))
            run.firstWindowMs = now;
        editor = bench::FindEditorWindow(process.dwProcessId);
        if (editor && run.editorFoundMs == 0) run.editorFoundMs = now;
        if (editor && bench::Answers(editor, 100)) {
            run.editorMs = bench::Since(start).wallMs;
            run.ok = true;
            break;
        }
        if (now > kGiveUpMs || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
        Sleep(2);
    }
    Close(process, editor);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: orvik_bench_startup <path of Orvik.exe> [runs] [floor program]\n");
        return 2;
    }
    const std::wstring program = win32::Widen(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::wstring folder = program.substr(0, program.find_last_of(L"\\/"));
    if (folder == program) folder = L".";
    const std::wstring floorProgram = argc > 3 ? win32::Widen(argv[3]) : std::wstring();
    std::vector<double> floor;

    // One start first that is not counted: it pages the program and its libraries in.
    StartOnce(program, folder);
    std::vector<double> editor, first;
    for (int i = 0; i < runs; ++i) {
        if (!floorProgram.empty()) {
            const Run bare = StartOnce(floorProgram, folder);
            if (bare.ok) floor.push_back(bare.editorMs);
        }
        const Run run = StartOnce(program, folder);
        if (!run.ok) {
            std::printf("run %d: no editor window answered within %.0f ms\n", i + 1, kGiveUpMs);
            continue;
        }
        std::printf("run %d: first window %.0f ms, editor shown %.0f ms, taking input %.0f ms\n",
                    i + 1, run.firstWindowMs, run.editorFoundMs, run.editorMs);
        editor.push_back(run.editorMs);
        first.push_back(run.firstWindowMs);
    }
    const bool all = static_cast<int>(editor.size()) == runs && runs > 0;
    const double median = all ? bench::Median(editor) : 0;
    std::printf("median: first window %.0f ms, editor taking input %.0f ms\n", bench::Median(first),
                median);
    if (!floor.empty()) {
        std::printf("floor: a bare window program takes input after %.0f ms (median of %zu)\n",
                    bench::Median(floor), floor.size());
    }
    const double floorMs = (floor.empty() ? 0 : bench::Median(floor)) + kSplashMs;
    char detail[160];
    std::snprintf(detail, sizeof detail,
                  "start to editor taking input, %.0f ms, vs its floor, a bare window program "
                  "and the splash, %.0f ms; limit %.0f ms",
                  median, floorMs, floorMs + kAboveFloorMs);
    const bench::Goal goal{"startup.wine",
                           floor.empty() ? bench::Ratio(0, 0) : bench::Ratio(median, floorMs),
                           (floorMs + kAboveFloorMs) / floorMs, detail};
    std::printf("%s\n", goal.Line().c_str());
    std::fflush(stdout);
    return all ? 0 : 1;
}

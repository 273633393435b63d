// The catalogue and the editor at scale on Windows (run under Wine). Self-timing: subject and
// baseline run in turns, several rounds, and the medians are compared.
//
//   orvik_bench_win catalogue                     reader and writer vs MSXML alone, 10000 items
//   orvik_bench_win fill                          the editor's list from 5000 items vs the read
//   orvik_bench_win states <catalogue>            every state of the shipped catalogue on the
//                                                 screen vs the list filled alone
//   orvik_bench_win memory generate <path> <n>    writes a catalogue of n items
//   orvik_bench_win memory read <path>            peak memory while the reader reads it
//   orvik_bench_win policies                      a Windows 11 sized PolicyDefinitions folder
//                                                 read vs reading its files' bytes

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/RealPlatform.h"
#include "bench/common/CatalogueGenerator.h"
#include "bench/common/PolicyGenerator.h"
#include "bench/common/Report.h"
#include "bench/win32/MsXmlBaseline.h"
#include "bench/win32/WinTiming.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "engine/session/Session.h"
#include "platform/XmlDocument.h"
#include "platform/win32/app/Win32Startup.h"
#include "platform/win32/common/ComStart.h"
#include "platform/win32/console/Win32Console.h"
#include "platform/win32/policy/Win32PolicyFolders.h"
#include "platform/win32/toolkit/Win32Toolkit.h"
#include "policy/PolicyDefinitions.h"
#include "ui/EditorServices.h"
#include "ui/frmAdvanced.h"

namespace {

// Under Wine a round of the large catalogue takes many seconds; five keep a run in minutes.
constexpr int kRounds = 5;

// A folder of this run's own under the temporary folder, removed at the end.
class Scratch {
public:
    Scratch() {
        folder_ = (std::filesystem::temp_directory_path() /
                   ("orvik-bench-" + std::to_string(GetCurrentProcessId())))
                      .string();
        std::filesystem::create_directories(folder_);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& Folder() const { return folder_; }
    std::string Path(const char* name) const { return folder_ + "\\" + name; }

private:
    std::string folder_;
};

struct Series {
    std::vector<double> wall;
    std::vector<double> cpu;
    void Add(const bench::Elapsed& e) {
        wall.push_back(e.wallMs);
        cpu.push_back(e.cpuMs);
    }
};

// Runs subject and baseline in turns; false as soon as either reports a failure.
bool Rounds(const std::function<bool()>& subject, const std::function<bool()>& baseline,
            Series& subjectTimes, Series& baselineTimes) {
    for (int round = 0; round < kRounds; ++round) {
        bench::Moment start = bench::Now();
        if (!baseline()) return false;
        baselineTimes.Add(bench::Since(start));
        start = bench::Now();
        if (!subject()) return false;
        subjectTimes.Add(bench::Since(start));
    }
    return true;
}

void PrintSeries(const char* what, const Series& s) {
    std::printf("%-34s median %9.1f ms wall %9.1f ms processor  (%d rounds)\n", what,
                bench::Median(s.wall), bench::Median(s.cpu), kRounds);
}

// The goal is judged on processor time: on a shared machine wall time mostly measures the
// neighbours. Wall time is printed beside it.
bench::Goal GoalOf(const char* name, const Series& subject, const Series& baseline, double limit,
                   const std::string& detail) {
    const double wall = bench::Ratio(bench::Median(subject.wall), bench::Median(baseline.wall));
    char text[64];
    std::snprintf(text, sizeof text, "; wall-time ratio %.3f", wall);
    return {name, bench::Ratio(bench::Median(subject.cpu), bench::Median(baseline.cpu)), limit,
            detail + text};
}

int Catalogue() {
    constexpr int kItems = 10000;
    Scratch scratch;
    const OptimizationList items = bench::MakeCatalogue(kItems);
    const std::string text = bench::CatalogueText(items);
    const std::string catalogue = scratch.Path("catalogue.xml");
    if (!bench::WriteFile(catalogue, text)) return 1;
    std::printf("catalogue: %d items, %zu bytes\n", kItems, text.size());

    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    XmlReader reader(*xml, scratch.Folder());
    XmlWriter writer(*xml, scratch.Folder());

    // The parser alone: XmlLite over the file's bytes, reading every node (MSXML's SAX2 reader
    // into handlers that do nothing, the reader of Windows without XmlLite, beside it).
    Series read, parse, write, save, sax, saxAgain;
    const bool readOk =
        Rounds([&] { return reader.ReadXML(catalogue).size() == static_cast<size_t>(kItems); },
               [&] { return bench::ParseWithXmlLite(catalogue); }, read, parse) &&
        Rounds([&] { return bench::ParseWithSax(catalogue); },
               [&] { return bench::ParseWithSax(catalogue); }, sax, saxAgain);
    const std::string parserOut = scratch.Path("parser-saved.xml");
    const std::string writerOut = scratch.Path("writer-saved.xml");
    const bool writeOk =
        Rounds([&] { return writer.WriteXMLFile(items, writerOut); },
               [&] { return bench::SaveWithMsXml(items, parserOut); }, write, save);
    if (!readOk) std::printf("the reader or MSXML failed to read the catalogue\n");
    if (!writeOk) std::printf("the writer or MSXML failed to save the catalogue\n");
    const bool same = writeOk && bench::ReadFile(parserOut) == bench::ReadFile(writerOut);
    if (writeOk && !same) std::printf("the writer and MSXML saved different documents\n");
    if (writeOk && bench::ReadFile(writerOut) != text)
        std::printf("note: the saved file differs from the generated text\n");

    PrintSeries("ReadXML", read);
    PrintSeries("XmlLite alone", parse);
    PrintSeries("MSXML SAX2, empty handlers", sax);
    PrintSeries("WriteXMLFile", write);
    PrintSeries("MSXML build and save", save);
    const bench::Goal readGoal =
        readOk ? GoalOf("read.wine", read, parse, 1.5,
                        "ReadXML vs reading the file and XmlLite reading every node, 10000 "
                        "items")
               : bench::Goal{"read.wine", bench::Ratio(0, 0), 1.5, "failed"};
    const bench::Goal writeGoal =
        same ? GoalOf("write.wine", write, save, 1.5,
                      "WriteXMLFile vs MSXML 6 build and save, 10000 items")
             : bench::Goal{"write.wine", bench::Ratio(0, 0), 1.5, "failed"};
    std::printf("%s\n%s\n", readGoal.Line().c_str(), writeGoal.Line().c_str());
    return 0;
}

// The editor's services over the real reader and writer in a folder of the benchmark's.
class BenchServices : public EditorServices {
public:
    BenchServices(XmlDocumentFactory& xml, std::string folder)
        : xml_(xml), folder_(std::move(folder)) {}
    int32_t GetOSVersion() override { return os; }
    OptimizationList ReadXML(const std::string& HardPath) override {
        return XmlReader(xml_, folder_).ReadXML(HardPath);
    }
    bool WriteXMLFile(const OptimizationList& opItems, const std::string& path) override {
        return XmlWriter(xml_, folder_).WriteXMLFile(opItems, path);
    }
    RunOutcome RunOptimizations(const OptimizationList&) override { return {}; }
    EntryPlan PlanEntry(const OptimizationItem& entry) override {
        return plan ? plan(entry) : EntryPlan{};
    }
    std::optional<JournalEntry> LastRun() override { return std::nullopt; }
    UndoOutcome UndoRun(const JournalEntry&) override { return {}; }
    std::string ExecutableFolder() override { return folder_; }
    std::vector<std::string> PolicyLines(const OptimizationItem&) override { return {}; }

    int32_t os = codes::kWindows7;
    std::function<EntryPlan(const OptimizationItem&)> plan;  // none: every entry Not checkable

private:
    XmlDocumentFactory& xml_;
    std::string folder_;
};

struct Found {
    HWND window = nullptr;
};

BOOL CALLBACK FindEditor(HWND window, LPARAM found) {
    if (GetMenu(window) != nullptr) {
        reinterpret_cast<Found*>(found)->window = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindList(HWND window, LPARAM found) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wcscmp(name, L"SysListView32") == 0) {
        reinterpret_cast<Found*>(found)->window = window;
        return FALSE;
    }
    return TRUE;
}

// The command id of the menu item with this caption, searched through every submenu.
UINT CommandOf(HMENU menu, const wchar_t* caption) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            if (UINT id = CommandOf(sub, caption)) return id;
            continue;
        }
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        if (std::wcscmp(text, caption) == 0) return GetMenuItemID(menu, i);
    }
    return 0;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int Fill(int kItems) {
    Scratch scratch;
    const std::string text = bench::CatalogueText(bench::MakeCatalogue(kItems));
    if (!bench::WriteFile(scratch.Path("OrvikOptimizations.xml"), text)) return 1;
    std::printf("catalogue: %d items, %zu bytes\n", kItems, text.size());

    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    BenchServices services(*xml, scratch.Folder());
    std::unique_ptr<Toolkit> toolkit = win32::CreateToolkit();
    std::unique_ptr<Shell> shell = win32::CreateShell();
    frmAdvanced editor(*toolkit, *shell, services);
    const bench::Moment shown = bench::Now();
    editor.Show();
    PumpPending();
    const bench::Elapsed first = bench::Since(shown);
    std::printf("editor built and first filled in %.1f ms wall, %.1f ms processor\n", first.wallMs,
                first.cpuMs);
    std::fflush(stdout);

    Found form;
    EnumThreadWindows(GetCurrentThreadId(), FindEditor, reinterpret_cast<LPARAM>(&form));
    Found list;
    if (form.window) EnumChildWindows(form.window, FindList, reinterpret_cast<LPARAM>(&list));
    const UINT clear = form.window ? CommandOf(GetMenu(form.window), L"Clear") : 0;
    if (!form.window || !list.window || clear == 0) {
        std::printf("no editor window with its list and Clear command (is there a display?)\n");
        return 1;
    }
    auto rows = [&] { return static_cast<int>(SendMessageW(list.window, LVM_GETITEMCOUNT, 0, 0)); };

    // Clear fills the list anew from the file; what the fill leaves to paint counts too.
    Series fill, read;
    const bool ok = Rounds(
        [&] {
            const bench::Moment t = bench::Now();
            SendMessageW(form.window, WM_COMMAND, MAKEWPARAM(clear, 0), 0);
            const bench::Elapsed command = bench::Since(t);
            PumpPending();
            std::printf("  Clear returned after %.1f ms wall (%.1f processor), drawn after %.1f\n",
                        command.wallMs, command.cpuMs, bench::Since(t).wallMs);
            return rows() == kItems;
        },
        [&] { return services.ReadXML("").size() == static_cast<size_t>(kItems); }, fill, read);
    if (!ok) {
        std::printf("the list did not hold every item (%d rows)\n", rows());
        return 1;
    }
    PrintSeries("FillList (Select > Clear)", fill);
    PrintSeries("ReadXML", read);
    std::printf("%s\n", GoalOf("fill.wine", fill, read, 1.5,
                               "FillList on the Win32 list view vs ReadXML, " +
                                   std::to_string(kItems) + " items")
                            .Line()
                            .c_str());
    return 0;
}

// Whether every row of the list shows its state.
bool AllNoted(HWND list) {
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        wchar_t text[32] = {};
        LVITEMW item{};
        item.iSubItem = 1;
        item.pszText = text;
        item.cchTextMax = 32;
        if (SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)) == 0)
            return false;
    }
    return count > 0;
}

// From Show to every state on the screen, planned on this machine's registry, against the same
// editor whose plans cost nothing (the list filled alone): what the states add after the editor
// shows may be 300 ms of wall time.
int States(const std::string& catalogue) {
    Scratch scratch;
    std::filesystem::copy_file(catalogue, scratch.Path("OrvikOptimizations.xml"),
                               std::filesystem::copy_options::overwrite_existing);
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    BenchServices services(*xml, scratch.Folder());
    services.os = codes::kWindows11;
    RealPlatform machine;
    win32::Win32ProgramSearch programs;
    std::unique_ptr<Toolkit> toolkit = win32::CreateToolkit();
    std::unique_ptr<Shell> shell = win32::CreateShell();
    win32::Win32ConsoleFiles files;
    engine::Session session({machine.engine(), machine.xml, programs, files});
    int rows = 0;
    const auto shown = [&](bool planned) {
        services.plan = [&](const OptimizationItem& entry) {
            return planned ? session.PlanEntry(entry) : EntryPlan{};
        };
        frmAdvanced editor(*toolkit, *shell, services);
        editor.Show();
        Found form, list;
        EnumThreadWindows(GetCurrentThreadId(), FindEditor, reinterpret_cast<LPARAM>(&form));
        if (form.window) EnumChildWindows(form.window, FindList, reinterpret_cast<LPARAM>(&list));
        const bench::Moment start = bench::Now();
        while (list.window && !AllNoted(list.window) && bench::Since(start).wallMs < 10000) {
            PumpPending();
            Sleep(0);
        }
        rows =
            list.window ? static_cast<int>(SendMessageW(list.window, LVM_GETITEMCOUNT, 0, 0)) : 0;
        return list.window && AllNoted(list.window);
    };
    Series states, bare;
    if (!Rounds([&] { return shown(true); }, [&] { return shown(false); }, states, bare)) {
        std::printf("the editor did not show every state (is there a display?)\n");
        return 1;
    }
    PrintSeries("shown with every state", states);
    PrintSeries("shown, the list filled alone", bare);
    const double added = bench::Median(states.wall) - bench::Median(bare.wall);
    char detail[160];
    std::snprintf(detail, sizeof detail,
                  "states of %d entries %.1f ms wall after the editor showed with its list "
                  "filled alone (%.1f ms), against 300 ms",
                  rows, added, bench::Median(bare.wall));
    std::printf("%s\n",
                bench::Goal{"states.wine", bench::Ratio(std::max(added, 0.1), 300), 1.0, detail}
                    .Line()
                    .c_str());
    return 0;
}

// What XmlLite alone takes to read the same file, for comparison.
int MemoryParser(const std::string& path) {
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
    const std::string small = path + ".small.xml";
    bench::WriteFile(small, bench::CatalogueText(bench::MakeCatalogue(10)));
    const bool warm = bench::ParseWithXmlLite(small);
    std::filesystem::remove(small);
    const bench::MemoryFigures before = bench::Memory();
    const bool parsed = warm && bench::ParseWithXmlLite(path);
    const bench::MemoryFigures after = bench::Memory();
    const double workingSet =
        static_cast<double>(after.peakWorkingSet) - static_cast<double>(before.workingSet);
    std::printf(
        "XmlLite alone, file in memory: peak working set %.0f bytes above baseline "
        "(%.2f x file)%s\n",
        workingSet, workingSet / fileBytes, parsed ? "" : " (parse failed)");
    return parsed ? 0 : 1;
}

int MemoryRead(const std::string& path) {
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    XmlReader reader(*xml, std::filesystem::path(path).parent_path().string());
    // A small catalogue first: MSXML's libraries and first allocations belong to the baseline.
    const std::string small = path + ".small.xml";
    bench::WriteFile(small, bench::CatalogueText(bench::MakeCatalogue(10)));
    const bool warm = reader.ReadXML(small).size() == 10;
    std::filesystem::remove(small);
    if (!warm) {
        std::printf("the small catalogue did not read\n");
        return 1;
    }

    const bench::MemoryFigures before = bench::Memory();
    size_t items = 0;
    {
        const OptimizationList catalogue = reader.ReadXML(path);
        items = catalogue.size();
    }
    const bench::MemoryFigures after = bench::Memory();
    // Peaks only ever rise: the rise over the baseline's present figures is what reading took.
    const double workingSet =
        static_cast<double>(after.peakWorkingSet) - static_cast<double>(before.workingSet);
    const double privateBytes =
        static_cast<double>(after.peakPagefile) - static_cast<double>(before.pagefile);
    std::printf("file: %.0f bytes, %zu items read\n", fileBytes, items);
    std::printf("peak working set: %.0f bytes above baseline (%.2f x file)\n", workingSet,
                workingSet / fileBytes);
    std::printf("peak private bytes: %.0f bytes above baseline (%.2f x file)\n", privateBytes,
                privateBytes / fileBytes);
    const double worse = workingSet > privateBytes ? workingSet : privateBytes;
    std::printf("%s\n", bench::Goal{"memory.wine", bench::Ratio(worse, fileBytes), 2.0,
                                    "the larger of peak working set and peak private bytes above "
                                    "baseline vs file size, " +
                                        std::to_string(items) + " items"}
                            .Line()
                            .c_str());
    return items > 0 ? 0 : 1;
}

// The policy definitions as validate and plan read them: every .admx, then (the most they ever
// need) the .adml of every file, against reading the same files' bytes.
int Policies() {
    Scratch scratch;
    std::filesystem::create_directories(scratch.Path("en-US"));
    std::vector<std::string> paths;
    size_t bytes = 0;
    for (const auto& [name, text] : bench::MakePolicyDefinitions()) {
        paths.push_back(scratch.Folder() + "\\" + name);
        bytes += text.size();
        if (!bench::WriteFile(paths.back(), text)) return 1;
    }
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    win32::Win32PolicyFolders folders;
    size_t policies = 0;
    const auto load = [&](bool texts) {
        policy::PolicyLibrary library(folders, *xml);
        if (!library.Load(scratch.Folder())) return false;
        policies = library.Read().policies.size();
        for (size_t i = 0; texts && i < policies; ++i) {
            if (library.DisplayName(i).rfind("Configure ", 0) != 0) return false;
        }
        return library.Problems().empty();
    };
    const auto raw = [&] {
        size_t read = 0;
        std::string why;
        for (const std::string& path : paths) read += folders.Read(path, why).value_or("").size();
        return read == bytes;
    };
    Series definitions, all, files, files2;
    const bool ok = Rounds([&] { return load(false); }, raw, definitions, files) &&
                    Rounds([&] { return load(true); }, raw, all, files2);
    std::printf("folder: %zu files, %zu bytes, %zu policies\n", paths.size(), bytes, policies);
    PrintSeries("every .admx", definitions);
    PrintSeries("every .admx and .adml", all);
    PrintSeries("the files' bytes", files);
    const double ms = bench::Median(all.cpu);
    char detail[256];
    std::snprintf(detail, sizeof detail,
                  "every .admx and .adml of %zu files, %zu policies: %.0f ms processor (%.0f "
                  "wall) against 500 ms; reading the same files' bytes %.0f ms, %.1f times that",
                  paths.size(), policies, ms, bench::Median(all.wall), bench::Median(files2.cpu),
                  bench::Ratio(ms, bench::Median(files2.cpu)));
    std::printf("%s\n",
                bench::Goal{"policies.wine", ok ? bench::Ratio(ms, 500) : bench::Ratio(0, 0), 1.0,
                            ok ? detail : "failed"}
                    .Line()
                    .c_str());
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // MSXML's baseline and the editor's windows want COM; the reader does not.
    win32::ComApartment com;
    if (!win32::NeedCom()) {
        std::printf("COM could not be initialised\n");
        return 1;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string step = argc > 2 ? argv[2] : "";
    int result = 2;
    if (mode == "catalogue")
        result = Catalogue();
    else if (mode == "policies")
        result = Policies();
    else if (mode == "fill")
        result = Fill(argc > 2 ? std::atoi(argv[2]) : 5000);
    else if (mode == "states" && argc == 3)
        result = States(argv[2]);
    else if (mode == "memory" && step == "generate" && argc == 5) {
        result = bench::WriteFile(argv[3],
                                  bench::CatalogueText(bench::MakeCatalogue(std::atoi(argv[4]))))
                     ? 0
                     : 1;
    } else if (mode == "memory" && step == "read" && argc == 4) {
        result = MemoryRead(argv[3]);
    } else if (mode == "memory" && step == "parser" && argc == 4) {
        result = MemoryParser(argv[3]);
    } else {
        std::printf(
            "usage: orvik_bench_win catalogue | fill [items] | "
            "memory generate <path> <items> | memory read|parser <path> | policies\n");
    }
    std::fflush(stdout);
    return result;
}

// How many processes a silent run of a catalogue starts: the real runner over the catalogue as
// read, on the test doubles (the launcher counts and starts nothing), as Windows 11 and as
// Windows Server 2022 see it; the entries ticked as the file ships them, and every entry ticked.
//   orvik_bench_processes <catalogue>...

#include <cstdio>
#include <memory>
#include <string>

#include "EngineMachine.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "engine/runner.h"
#include "platform/XmlDocument.h"

namespace {

size_t ProcessesStarted(const OptimizationList& catalogue, int32_t machine) {
    EngineMachine doubles;
    runner(doubles.Engine()).RunOptimizations(catalogue, machine);
    return doubles.processes.started.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvik_bench_processes <catalogue>...\n");
        return 64;
    }
    const std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    for (int i = 1; i < argc; ++i) {
        const OptimizationList shipped = XmlReader(*xml, ".").ReadXML(argv[i]);
        if (shipped.empty()) {
            std::fprintf(stderr, "%s: no catalogue\n", argv[i]);
            return 1;
        }
        OptimizationList ticked;
        for (const OptimizationItemPtr& item : shipped) {
            ticked.push_back(std::make_shared<OptimizationItem>(*item));
            ticked.back()->Enabled = true;
        }
        std::printf("%s\n", argv[i]);
        for (const int32_t machine : {codes::kWindows11, codes::kWindowsServer2022}) {
            std::printf(
                "  processes started on %-22s %3zu as shipped, %3zu with every entry ticked\n",
                (codes::GetOSString(machine) + ":").c_str(), ProcessesStarted(shipped, machine),
                ProcessesStarted(ticked, machine));
        }
    }
    return 0;
}

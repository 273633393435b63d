#include "app/StartUp.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "engine/runner.h"
#include "env/FileTrust.h"

std::string ArgumentText(const std::string& commandLine) {
    // As the C runtime finds WinMain's command line: a quoted name ends at its closing quote,
    // an unquoted one at the first blank or control character; then the blanks are skipped.
    auto separator = [](char c) { return static_cast<unsigned char>(c) <= ' ' && c != '\0'; };
    size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t closing = commandLine.find('"', 1);
        i = closing == std::string::npos ? commandLine.size() : closing + 1;
    } else {
        while (i < commandLine.size() && !separator(commandLine[i])) ++i;
    }
    while (i < commandLine.size() && separator(commandLine[i])) ++i;
    return commandLine.substr(i);
}

StartMode ChooseStart(const std::string& argumentText) {
    // The whole text, untrimmed: "-RUN " or "-RUN x" open the editor.
    return codes::UpperAscii(argumentText) == "-RUN" ? StartMode::SilentRun : StartMode::Editor;
}

void SilentRun(XmlDocumentFactory& xml, const EnginePlatform& platform, FileSecurity& security) {
    GlobalUtils utils(platform.env);
    const trust::CatalogueTrust trust =
        trust::CheckCatalogue(security, catalogue::DefaultPath(utils.ExecutableFolder()));
    if (trust.Refused()) {
        constexpr int32_t kAccessDenied = 5;
        utils.WriteLog("nothing was applied",
                       ErrorRecord(kAccessDenied, utils.ExecutableName(),
                                   "The catalogue " + trust.verdict.reason + ". "));
    }
    if (!trust.MayRead()) return;
    XmlReader reader(xml, utils.ExecutableFolder());
    const OptimizationList catalogue = reader.ReadXML("");
    // Only what the editor offers on this Windows, as a run after the editor's Save applied when
    // Save kept no other version's entries. Nothing is logged of the others: the log holds
    // failures, and the scripts that read it after -RUN rely on that.
    runner(platform).RunOptimizations(catalogue, utils.GetOSVersion());
}

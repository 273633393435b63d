#include "app/StartUp.h"

#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "engine/runner.h"

std::string ArgumentText(const std::string& commandLine) {
    size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t closing = commandLine.find('"', 1);
        i = closing == std::string::npos ? commandLine.size() : closing + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    return commandLine.substr(i);
}

StartChoice ChooseStart(const std::string& argumentText) {
    StartChoice choice;
    if (argumentText.empty()) return choice;
    const std::string upper = codes::UpperAscii(argumentText);
    if (upper == "-RUN") {
        choice.mode = StartMode::SilentRun;
    } else if (upper == "-EDIT") {
        choice.editRequested = true;
    }
    return choice;
}

void SilentRun(XmlDocumentFactory& xml, const EnginePlatform& platform) {
    GlobalUtils utils(platform.env);
    XmlReader reader(xml, utils.ExecutableFolder());
    const OptimizationList catalogue = reader.ReadXML("");
    runner(platform).RunOptimizations(catalogue);
}

#include "app/EditorStart.h"

#include <memory>
#include <optional>

#include "catalogue/CatalogueFile.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "engine/checks/AccountChecks.h"
#include "engine/session/EditorJournals.h"
#include "engine/session/Session.h"
#include "env/FileTrust.h"
#include "platform/PolicyFolders.h"
#include "platform/SystemInfo.h"
#include "policy/PolicyCheck.h"
#include "ui/EditorServices.h"
#include "ui/frmAdvanced.h"
#include "ui/frmSplash.h"

namespace {

// The editor's services on the real reader and writer and the engine's session, which keeps the
// catalogue as last read for the journal of a run.
class CatalogueServices final : public EditorServices {
public:
    CatalogueServices(const EditorPlatform& editor, const EnginePlatform& platform)
        : xml_(editor.xml), policies_(editor.policies), platform_(platform),
          security_(editor.security), lock_(editor.lock),
          session_({platform, editor.xml, editor.programs, editor.files, nullptr, &editor.security,
                    &editor.lock}),
          journals_({platform, editor.files, editor.shell, editor.security}, session_) {}

    int32_t GetOSVersion() override { return GlobalUtils(platform_.env).GetOSVersion(); }
    OptimizationList ReadXML(const std::string& HardPath) override {
        if (!HardPath.empty()) return XmlReader(xml_, ExecutableFolder()).ReadXML(HardPath);
        const engine::CatalogueRead& read =
            session_.ReadCatalogue(catalogue::DefaultPath(ExecutableFolder()));
        return XmlReader(xml_, ExecutableFolder()).ReadXMLBytes(read.bytes, read.why);
    }
    bool WriteXMLFile(const OptimizationList& opItems, const std::string& path) override {
        return XmlWriter(xml_, ExecutableFolder()).WriteXMLFile(opItems, path);
    }
    RunOutcome RunOptimizations(const OptimizationList& Settings) override {
        return journals_.Run(Settings);
    }
    EntryPlan PlanEntry(const OptimizationItem& entry) override {
        return session_.PlanEntry(entry);
    }
    std::optional<JournalEntry> LastRun() override { return journals_.LastRun(); }
    UndoOutcome UndoRun(const JournalEntry& run) override { return journals_.Undo(run); }
    std::string ExecutableFolder() override {
        return GlobalUtils(platform_.env).ExecutableFolder();
    }
    // The machine's definitions, read when the first entry is shown and kept while the editor is.
    std::vector<std::string> PolicyLines(const OptimizationItem& entry) override {
        if (!library_) {
            library_.emplace(policies_, xml_);
            found_ = library_->Load(policies_.DefaultFolder());
        }
        return found_ ? policy::PolicyLines(entry, *library_) : std::vector<std::string>{};
    }

    std::string CatalogueRefusal() override {
        const trust::CatalogueTrust trust =
            trust::CheckCatalogue(security_, catalogue::DefaultPath(ExecutableFolder()));
        return trust.Refused() ? trust.verdict.reason : "";
    }
    std::string ElevationNeeded(const OptimizationList& Settings) override {
        return engine::ElevationRefusal(Settings, std::nullopt, platform_.env.system.IsElevated())
            .value_or("");
    }
    // Held by the window's thread, which then runs: the session's own take of it nests.
    engine::RunLockHold TryRunLock() override { return {lock_, std::chrono::milliseconds(0)}; }

private:
    XmlDocumentFactory& xml_;
    PolicyFolders& policies_;
    const EnginePlatform& platform_;
    FileSecurity& security_;
    RunLock& lock_;
    engine::Session session_;
    EditorJournals journals_;
    std::optional<policy::PolicyLibrary> library_;
    bool found_ = false;
};

}  // namespace

int RunInteractive(Toolkit& toolkit, const EditorPlatform& machine,
                   const EnginePlatform& platform) {
    Shell& shell = machine.shell;
    CatalogueServices services(machine, platform);
    std::unique_ptr<frmAdvanced> editor;
    frmSplash splash(
        toolkit,
        [&] {
            editor = std::make_unique<frmAdvanced>(toolkit, shell, services);
            editor->Load();
        },
        [&] { editor->Show(); });
    splash.Form_Load();
    return toolkit.Run();
}

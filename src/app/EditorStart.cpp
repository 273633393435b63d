#include "app/EditorStart.h"

#include <memory>

#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "engine/runner.h"
#include "ui/EditorServices.h"
#include "ui/frmAdvanced.h"
#include "ui/frmSplash.h"

namespace {

// The editor's services on the real reader, writer and runner. Each call makes the service
// objects it needs and lets them go when it returns.
class CatalogueServices final : public EditorServices {
public:
    CatalogueServices(XmlDocumentFactory& xml, const EnginePlatform& platform)
        : xml_(xml), platform_(platform) {}

    int32_t GetOSVersion() override { return GlobalUtils(platform_.env).GetOSVersion(); }
    OptimizationList ReadXML(const std::string& HardPath) override {
        return XmlReader(xml_, ExecutableFolder()).ReadXML(HardPath);
    }
    bool WriteXMLFile(const OptimizationList& opItems, const std::string& path) override {
        return XmlWriter(xml_, ExecutableFolder()).WriteXMLFile(opItems, path);
    }
    void RunOptimizations(const OptimizationList& Settings) override {
        runner(platform_).RunOptimizations(Settings);
    }
    std::string ExecutableFolder() override {
        return GlobalUtils(platform_.env).ExecutableFolder();
    }

private:
    XmlDocumentFactory& xml_;
    const EnginePlatform& platform_;
};

}  // namespace

int RunInteractive(Toolkit& toolkit, Shell& shell, XmlDocumentFactory& xml,
                   const EnginePlatform& platform) {
    CatalogueServices services(xml, platform);
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

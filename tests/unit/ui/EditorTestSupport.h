#pragma once
// A catalogue on the fake disk, and the editor opened on it, as the user would see it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FakeEditorServices.h"
#include "FakeShell.h"
#include "RecordingToolkit.h"
#include "catalogue/Codes.h"
#include "ui/frmAdvanced.h"

inline OptimizationItemPtr Entry(const std::string& number, const std::string& name,
                                 std::vector<int32_t> versions, bool enabled = false,
                                 const std::string& impact = "Low",
                                 const std::string& category = "Storage") {
    auto e = std::make_shared<OptimizationItem>();
    e->Number = number;
    e->Name = name;
    e->osVersions = std::move(versions);
    e->Enabled = enabled;
    e->Impact = impact;
    e->Category = category;
    e->Description = "what " + name + " does";
    e->Justification = "why " + name;
    return e;
}

class EditorTest : public ::testing::Test {
protected:
    EditorTest() : shell(disk), services(disk) {}

    void SetCatalogue(OptimizationList entries) { disk.catalogues[Catalogue()] = entries; }
    OptimizationList& File() { return disk.catalogues.at(Catalogue()); }
    std::string Catalogue() const { return services.CataloguePath(); }

    void Open() {
        editor = std::make_unique<frmAdvanced>(toolkit, shell, services);
        editor->Show();
    }
    FakeForm& Form() { return toolkit.form("frmAdvanced"); }
    FakeCheckList& List() { return Form().checkList("lbSettings"); }
    std::string Caption(const std::string& label) { return Form().label(label).Caption(); }
    void Menu(const std::string& name) { Form().menu(name).UserClick(); }
    void Button(const std::string& name) { Form().picture(name).UserClick(); }
    // Which picture of impactImages the gauge shows (0: none yet).
    int Gauge() { return Form().picture("imgImpact").shownIndex; }

    std::vector<bool> Ticks() {
        std::vector<bool> ticks;
        for (int i = 0; i < List().ListCount(); ++i) ticks.push_back(List().Selected(i));
        return ticks;
    }
    // Enabled of the editor's entries, in order.
    std::vector<bool> Enabled() {
        std::vector<bool> flags;
        for (const auto& e : editor->Settings) flags.push_back(e->Enabled);
        return flags;
    }
    static std::vector<std::string> Numbers(const OptimizationList& list) {
        std::vector<std::string> numbers;
        for (const auto& e : list) numbers.push_back(e->Number);
        return numbers;
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (const auto& m : toolkit.messages) texts.push_back(m.text);
        return texts;
    }
    void AnswerWarning(const std::string& label) {
        toolkit.onModal = [label](FakeForm& f) { f.label(label).UserClick(); };
    }

    FakeDisk disk;
    RecordingToolkit toolkit;
    FakeShell shell;
    FakeEditorServices services;
    std::unique_ptr<frmAdvanced> editor;
};

using Strings = std::vector<std::string>;
using Flags = std::vector<bool>;
using codes::kAll;
using codes::kWindows7;
using codes::kWindowsXP;

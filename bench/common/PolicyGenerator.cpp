#include "bench/common/PolicyGenerator.h"

namespace bench {
namespace {

const char* const kHead =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!--  (c) generated for the benchmark  -->\r\n";
const char* const kNamespace =
    "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\"";

// About 1,400 characters, as Microsoft's explanations run.
std::string Help(const std::string& name) {
    std::string text = "This policy setting controls " + name + ".&#xD;&#xA;&#xD;&#xA;";
    for (int i = 0; i < 12; ++i) {
        text += "If you enable this policy setting, the behaviour of " + name +
                " follows the option you choose, and users cannot change it. ";
    }
    return text;
}

struct Made {
    std::string admx, adml, presentations;
};

// A decimal, an enum and a text, with their presentation.
void Elements(Made& made, const std::string& name, const std::string& body) {
    made.admx += ">\r\n" + body + "      <elements>\r\n        <decimal id=\"" + name +
                 "_Count\" valueName=\"Count\" minValue=\"1\" maxValue=\"999\" />\r\n"
                 "        <enum id=\"" +
                 name + "_Mode\" valueName=\"Mode\">\r\n";
    for (int item = 0; item < 5; ++item) {
        made.admx +=
            "          <item displayName=\"$(string." + name + "_Mode" + std::to_string(item) +
            ")\">\r\n            <value>\r\n"
            "              <decimal value=\"" +
            std::to_string(item) + "\" />\r\n            </value>\r\n          </item>\r\n";
        made.adml += "      <string id=\"" + name + "_Mode" + std::to_string(item) + "\">Mode " +
                     std::to_string(item) + "</string>\r\n";
    }
    made.admx += "        </enum>\r\n        <text id=\"" + name +
                 "_Server\" valueName=\"Server\" />\r\n      </elements>\r\n";
    made.presentations += "      <presentation id=\"" + name +
                          "\">\r\n"
                          "        <decimalTextBox refId=\"" +
                          name +
                          "_Count\" defaultValue=\"10\">Count</decimalTextBox>\r\n"
                          "        <dropdownList refId=\"" +
                          name + "_Mode\">Mode</dropdownList>\r\n        <textBox refId=\"" + name +
                          "_Server\"><label>Server</label></textBox>\r\n"
                          "      </presentation>\r\n";
}

void Policy(Made& made, const std::string& file, int n) {
    const std::string name = file + "_Policy" + std::to_string(n);
    const std::string key = "Software\\Policies\\Microsoft\\Windows\\" + file;
    const char* const classes[] = {"Machine", "User", "Both"};
    made.admx += "    <policy name=\"" + name + "\" class=\"" + classes[n % 3] +
                 "\" displayName=\"$(string." + name + ")\" explainText=\"$(string." + name +
                 "_Help)\" presentation=\"$(presentation." + name + ")\" key=\"" + key + "\"";
    made.adml += "      <string id=\"" + name + "\">Configure " + name +
                 "</string>\r\n"
                 "      <string id=\"" +
                 name + "_Help\">" + Help(name) + "</string>\r\n";
    std::string body = "      <parentCategory ref=\"" + file +
                       "Cat\" />\r\n"
                       "      <supportedOn ref=\"windows:SUPPORTED_Windows7\" />\r\n";
    switch (n % 4) {
        case 0:  // its own value, enabled and disabled
            made.admx += " valueName=\"" + name + "Value\">\r\n" + body +
                         "      <enabledValue>\r\n        <decimal value=\"1\" />\r\n"
                         "      </enabledValue>\r\n      <disabledValue>\r\n"
                         "        <decimal value=\"0\" />\r\n      </disabledValue>\r\n";
            break;
        case 1: Elements(made, name, body); break;
        case 2:  // enabled and disabled lists
            made.admx += ">\r\n" + body + "      <enabledList>\r\n        <item key=\"" + key +
                         "\\Sub\" valueName=\"" + name +
                         "A\">\r\n          <value>\r\n"
                         "            <decimal value=\"1\" />\r\n          </value>\r\n"
                         "        </item>\r\n      </enabledList>\r\n      <disabledList>\r\n"
                         "        <item key=\"" +
                         key + "\\Sub\" valueName=\"" + name +
                         "A\">\r\n          <value>\r\n            <decimal value=\"0\" />\r\n"
                         "          </value>\r\n        </item>\r\n      </disabledList>\r\n";
            break;
        default:  // a boolean and a list
            made.admx += ">\r\n" + body + "      <elements>\r\n        <boolean id=\"" + name +
                         "_On\" valueName=\"" + name +
                         "On\">\r\n          <trueValue>\r\n"
                         "            <decimal value=\"1\" />\r\n          </trueValue>\r\n"
                         "          <falseValue>\r\n            <decimal value=\"0\" />\r\n"
                         "          </falseValue>\r\n        </boolean>\r\n        <list id=\"" +
                         name + "_List\" key=\"" + key + "\\" + name +
                         "List\" valuePrefix=\"\" />\r\n      </elements>\r\n";
            break;
    }
    made.admx += "    </policy>\r\n";
}

}  // namespace

std::map<std::string, std::string> MakePolicyDefinitions(int files) {
    std::map<std::string, std::string> folder;
    for (int file = 0; file < files; ++file) {
        const std::string name = file == 0 ? "Windows" : "Component" + std::to_string(file);
        // inetres.admx alone holds about 1,500 policies; the others 3 to 23.
        const int policies = file == 1 ? 1500 : 3 + (file * 11) % 21;
        Made made;
        for (int n = 0; file != 0 && n < policies; ++n) Policy(made, name, n);
        std::string supported;
        if (file == 0) {
            supported =
                "  <supportedOn>\r\n    <definitions>\r\n"
                "      <definition name=\"SUPPORTED_Windows7\" "
                "displayName=\"$(string.SUPPORTED_Windows7)\" />\r\n"
                "    </definitions>\r\n  </supportedOn>\r\n";
            made.adml += "      <string id=\"SUPPORTED_Windows7\">At least Windows 7</string>\r\n";
        }
        folder[name + ".admx"] =
            std::string(kHead) + "<policyDefinitions revision=\"1.0\" schemaVersion=\"1.0\" " +
            kNamespace + ">\r\n  <policyNamespaces>\r\n    <target prefix=\"p" +
            std::to_string(file) + "\" namespace=\"Microsoft.Policies." + name +
            "\" />\r\n    <using prefix=\"windows\" namespace=\"Microsoft.Policies.Windows\" />"
            "\r\n  </policyNamespaces>\r\n  <resources minRequiredRevision=\"1.0\" />\r\n" +
            supported + "  <categories>\r\n    <category name=\"" + name +
            "Cat\" displayName=\"$(string." + name +
            "Cat)\" />\r\n  </categories>\r\n"
            "  <policies>\r\n" +
            made.admx + "  </policies>\r\n</policyDefinitions>\r\n";
        folder["en-US\\" + name + ".adml"] = std::string(kHead) +
                                             "<policyDefinitionResources revision=\"1.0\" "
                                             "schemaVersion=\"1.0\" " +
                                             kNamespace + ">\r\n  <displayName>" + name +
                                             "</displayName>\r\n  <description>" + name +
                                             "</description>\r\n  <resources>\r\n"
                                             "    <stringTable>\r\n      <string id=\"" +
                                             name + "Cat\">" + name + "</string>\r\n" + made.adml +
                                             "    </stringTable>\r\n    <presentationTable>\r\n" +
                                             made.presentations +
                                             "    </presentationTable>\r\n  </resources>\r\n"
                                             "</policyDefinitionResources>\r\n";
    }
    return folder;
}

}  // namespace bench

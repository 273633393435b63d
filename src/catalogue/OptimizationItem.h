#pragma once
// The records of one optimization and its actions. Plain data: the reader fills them, the editor
// changes Enabled, the writer and the runners read them. Position is where the record's element
// starts in the file it was read from (0 and 0 for a record made otherwise); the action records'
// constructors take their other fields in order, so that one is written as a braced list of them.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/VersionList.h"
#include "platform/XmlEvents.h"

// Where a field's element stands, kept in two bytes beside its record's position (a catalogue
// holds thousands of records): the lines after the record's start, and the column, counted from
// the record's column when the field starts on the record's line. A field more than 63 lines
// below its record, or more than 1,023 characters along, is not kept: its record's position
// stands for it, as for a field the file does not hold.
class FieldPosition {
public:
    FieldPosition() = default;
    FieldPosition(XmlPosition field, XmlPosition record);
    // The field's position; the record's when the field's was not kept.
    XmlPosition Or(XmlPosition record) const;

private:
    uint16_t packed_ = 0;  // lines below, then the column; 0: not kept
};

// One registry edit.
class RegistryItem {
public:
    RegistryItem() = default;
    RegistryItem(int32_t keyType, std::string key, std::string valueName, std::string value)
        : Key(std::move(key)), ValueName(std::move(valueName)), Value(std::move(value)),
          KeyType(keyType) {}

    std::string Key;  // root-key name, then the sub key names, each after a backslash
    std::string ValueName;
    // The data as text; its form depends on KeyType (a MULTISTRING: its strings one per line).
    std::string Value;
    XmlPosition Position;
    int32_t KeyType = 0;  // key-type code (catalogue/ValueTypes.h)
    // Where the Key and Value elements that count start, so that a problem of either is shown
    // where it stands.
    FieldPosition KeyPosition, ValuePosition;

    // Key-type name to code; any unrecognised name gives 0 (DWORD).
    static int32_t SetKeyType(const std::string& Value);
    // Key-type code to name; any other code gives the empty text.
    static std::string GetKeyType(int32_t Value);
};

// One command line.
class cmdItem {
public:
    cmdItem() = default;
    cmdItem(std::string command) : Command(std::move(command)) {}

    std::string Command;
    XmlPosition Position;
    FieldPosition CommandPosition;  // of the Command element that counts
};

// One WMI query with its warning threshold (9999: never examined).
class wmiItem {
public:
    wmiItem() = default;
    wmiItem(std::string command, int16_t warningLevel)
        : Command(std::move(command)), WarningLevel(warningLevel) {}

    std::string Command;
    XmlPosition Position;
    int16_t WarningLevel = 0;
    FieldPosition CommandPosition, WarningLevelPosition;  // of the elements that count
};

// One service's start type. StartType is kept as the catalogue spells it (Automatic,
// AutomaticDelayed, Manual, Disabled; Boot and System for drivers), so that a stored file is
// written back as it was read and a name outside the list is shown where it stands. Stop: the
// service is stopped too when it runs (a start type alone waits for the next start of Windows).
class ServiceItem {
public:
    ServiceItem() = default;
    ServiceItem(std::string name, std::string startType, bool stop = false)
        : Name(std::move(name)), StartType(std::move(startType)), Stop(stop) {}

    std::string Name;  // the service's key name, as the Service Control Manager knows it
    std::string StartType;
    XmlPosition Position;
    FieldPosition NamePosition, StartTypePosition, StopPosition;  // of the elements that count
    bool Stop = false;
};

// One scheduled task's state: Enabled or Disabled, kept as spelt, like a service's start type.
class TaskItem {
public:
    TaskItem() = default;
    TaskItem(std::string path, std::string state)
        : Path(std::move(path)), State(std::move(state)) {}

    std::string Path;  // from the root folder: "\Microsoft\Windows\Defrag\ScheduledDefrag"
    std::string State;
    XmlPosition Position;
    FieldPosition PathPosition, StatePosition;  // of the elements that count
};

// One optimization. Shared by reference: the editor's Settings and the reader's catalogue hold
// the same records, so a tick made in one is seen in the other.
class OptimizationItem {
public:
    std::string Name;
    std::string Number;
    std::string Description;
    std::string Justification;
    std::string Category;
    std::string Impact;
    std::vector<RegistryItem> regItems;
    std::vector<ServiceItem> serviceItems;
    std::vector<TaskItem> taskItems;
    std::vector<cmdItem> cmdItems;
    std::vector<wmiItem> wmiItems;
    VersionList osVersions;
    XmlPosition Position;
    // The small fields last, together: no padding after each (the catalogue holds thousands).
    int32_t mode = 0;
    FieldPosition NumberPosition;  // of the Number element that counts
    bool Enabled = false;
};

using OptimizationItemPtr = std::shared_ptr<OptimizationItem>;
// The catalogue, and every collection of optimizations built from it: ordered, shared records.
using OptimizationList = std::vector<OptimizationItemPtr>;

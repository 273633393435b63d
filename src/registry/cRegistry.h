#pragma once
// The system's stateful registry wrapper. A caller sets the position first (ClassKey,
// SectionKey, ValueKey, ValueType) and then reads or writes Value. Failures are raised as
// ErrorRecord. Every member opens and closes its own key handle, unless the caller holds the
// writes (HeldWrites) for a list of them.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "env/ErrorRecord.h"
#include "platform/Registry.h"
#include "registry/Variant.h"

class GlobalUtils;

// Local date and time, as the probe key's name needs them.
struct LocalDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
using LocalTimeSource = std::function<LocalDateTime()>;

// The wall clock of the running machine.
LocalDateTime LocalTimeNow();

class cRegistry {
public:
    static constexpr int32_t kErrRegistry = 26001;
    static constexpr int32_t kErrSetValue = static_cast<int32_t>(0x800469A9u);  // -2147194455
    static constexpr int32_t kErrSubscript = 9;

    cRegistry(Registry& registry, GlobalUtils& utils, LocalTimeSource now = LocalTimeNow);

    // While one lives, the key a write created stays open for the next write into the same key,
    // so that a list of values under one key costs one create and one close rather than one
    // per value. It is closed when another key is written, a write fails, a section is
    // deleted, and when the HeldWrites goes.
    class HeldWrites {
    public:
        explicit HeldWrites(cRegistry& registry) : registry_(registry) { registry_.hold_ = true; }
        ~HeldWrites() {
            registry_.hold_ = false;
            registry_.written_.Close();
        }
        HeldWrites(const HeldWrites&) = delete;
        HeldWrites& operator=(const HeldWrites&) = delete;

    private:
        cRegistry& registry_;
    };

    // An empty vDefault keeps the current Default.
    Variant ValueByName(const std::string& sName, const Variant& vDefault = {});
    void SetValueByName(const std::string& sName, int32_t lType, const Variant& newValue);
    // The same with the type written as given: text is never re-typed by its "%" pairs, and a
    // REG_QWORD takes its eight bytes (little-endian) as a byte array.
    void SetExactValueByName(const std::string& sName, int32_t lType, const Variant& newValue);
    bool CanReadValue();
    bool CanCreateSubKey(const std::string& sSectionKey);
    bool KeyExists();
    // True only when the registry says SectionKey is not there; a key it will not open for
    // reading counts as there, so that a write into it meets the refusal.
    bool KeyMissing();
    bool CreateKey();
    // Callers pass empty text: the key is SectionKey. Refuses to address the root key itself.
    bool DeleteSection(const std::string& sKeyForInternalRecursionOnly = {});
    bool DeleteValue();
    // A handle to that machine's HKEY_LOCAL_MACHINE, or 0. The caller owns it.
    int32_t lConnectRegHKLM(const std::string& sMachine);
    Variant Value();
    void Value(const Variant& vValue);
    // Lists are numbered from 1 in the system's words: entry n is element n - 1.
    bool EnumerateValues(std::vector<std::string>& sKeyNames, int32_t& iKeyCount);
    bool EnumerateSections(std::vector<std::string>& sSect, int32_t& iSectCount);
    void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                              const std::string& sClassDescription, const std::string& sAssociation,
                              int32_t lDefaultIconIndex = -1);
    int32_t ValueType() const { return valueType_; }
    void ValueType(int32_t eValueType) { valueType_ = eValueType; }
    int32_t ClassKey() const { return classKey_; }
    void ClassKey(int32_t eKey) { classKey_ = eKey; }
    const std::string& SectionKey() const { return sectionKey_; }
    void SectionKey(const std::string& sSectionKey) { sectionKey_ = sSectionKey; }
    const std::string& ValueKey() const { return valueKey_; }
    void ValueKey(const std::string& sValueKey) { valueKey_ = sValueKey; }
    const Variant& Default() const { return default_; }
    void Default(const Variant& vDefault) { default_ = vDefault; }

private:
    // The key the last held write created, with what it was created for.
    class HeldKey {
    public:
        explicit HeldKey(Registry& registry) : registry_(&registry) {}
        HeldKey(HeldKey&& other) noexcept
            : registry_(other.registry_), key_(std::exchange(other.key_, 0)), root_(other.root_),
              section_(std::move(other.section_)), access_(other.access_) {}
        HeldKey& operator=(HeldKey&&) = delete;
        ~HeldKey() { Close(); }

        RegKey Get() const { return key_; }
        bool For(RegKey root, const std::string& section, uint32_t access) const {
            return key_ != 0 && root == root_ && access == access_ && section == section_;
        }
        void Hold(RegKey key, RegKey root, const std::string& section, uint32_t access) {
            Close();
            key_ = key, root_ = root, section_ = section, access_ = access;
        }
        void Close() {
            if (key_ != 0) registry_->CloseKey(std::exchange(key_, 0));
        }

    private:
        Registry* registry_;
        RegKey key_ = 0;
        RegKey root_ = 0;
        std::string section_;
        uint32_t access_ = 0;
    };

    static int32_t SwapByteOrder(int32_t value);
    std::string ExpandEnvironmentText(const std::string& text);

    RegKey Root() const { return reg::RootKey(classKey_); }
    uint32_t ViewFlag();
    std::string ErrorSource();
    // systemCode: the Windows error code behind the failure, raised with its words; 0 for none.
    [[noreturn]] void Raise(int32_t number, const std::string& description, int32_t systemCode = 0);
    std::string SetValueMessage(const Variant& vValue) const;
    int32_t WriteValue(RegKey key, const Variant& vValue);

    Registry& registry_;
    GlobalUtils& utils_;
    LocalTimeSource now_;

    int32_t classKey_ = 0;
    std::string sectionKey_;
    std::string valueKey_;
    int32_t valueType_ = 0;
    Variant default_;
    HeldKey written_{registry_};
    bool hold_ = false;
    bool exact_ = false;     // while SetExactValueByName writes
    uint32_t viewFlag_ = 0;  // KEY_WOW64_64KEY or 0, once asked
    bool viewAsked_ = false;
};

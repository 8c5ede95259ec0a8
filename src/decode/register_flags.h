// Names of the one-bit flags of the registers that are mostly flags, for
// writers that list the flags set in a raw register. Multi-bit fields of the
// same registers are decoded into the capability structs instead.
#pragma once

#include <cstddef>
#include <cstdint>

struct FlagName {
    uint32_t mask;
    const char *name;
};

// The names of a register's flags by bit number, from bit `first` on; a null
// name stands for a bit that is no flag (reserved, or part of a field).
// Iterating gives the flags in bit order.
class FlagTable {
  public:
    template <size_t N>
    constexpr FlagTable(const char *const (&names)[N], unsigned first = 0)
        : names_(names), first_(first), count_(N) {}
    // The flags from bit `from` on of a table that starts at bit 0, with
    // one of them under another name: a register that mirrors another.
    template <size_t N>
    constexpr FlagTable(const char *const (&names)[N], unsigned from, FlagName renamed)
        : names_(names), start_(from), count_(N), renamed_(renamed) {}

    class Iterator {
      public:
        Iterator(const FlagTable &table, size_t index) : table_(&table), index_(index) { skip(); }
        FlagName operator*() const {
            const uint32_t mask = 1u << (table_->first_ + index_);
            const FlagName &renamed = table_->renamed_;
            return {mask, mask == renamed.mask ? renamed.name : table_->names_[index_]};
        }
        Iterator &operator++() {
            ++index_;
            skip();
            return *this;
        }
        bool operator!=(const Iterator &other) const { return index_ != other.index_; }

      private:
        void skip() {
            while (index_ < table_->count_ && table_->names_[index_] == nullptr)
                ++index_;
        }
        const FlagTable *table_;
        size_t index_;
    };

    Iterator begin() const { return {*this, start_}; }
    Iterator end() const { return {*this, count_}; }

  private:
    const char *const *names_;
    unsigned first_ = 0;
    size_t start_ = 0; // the first index iterated
    size_t count_;
    FlagName renamed_ = {0, nullptr};
};

extern const FlagTable COMMAND_FLAGS;              // 04h
extern const FlagTable STATUS_FLAGS;               // 06h, DEVSEL timing (bits 9..10) aside
extern const FlagTable SECONDARY_STATUS_FLAGS;     // type-1 header 1Eh, type-2 header 16h
extern const FlagTable BRIDGE_CONTROL_FLAGS;       // type-1 header, 3Eh
extern const FlagTable CARDBUS_CONTROL_FLAGS;      // type-2 header, 3Eh
extern const FlagTable PCIE_DEVICE_CONTROL_FLAGS;  // PCI Express +8
extern const FlagTable PCIE_DEVICE_STATUS_FLAGS;   // PCI Express +0Ah
extern const FlagTable PCIE_LINK_CAPABILITY_FLAGS; // PCI Express +0Ch
extern const FlagTable PCIE_LINK_CONTROL_FLAGS;    // PCI Express +10h
extern const FlagTable PCIE_LINK_STATUS_FLAGS;     // PCI Express +12h
extern const FlagTable AER_UNCORRECTABLE_FLAGS;    // AER +4, +8, +0Ch
extern const FlagTable AER_CORRECTABLE_FLAGS;      // AER +10h, +14h
extern const FlagTable AER_CONTROL_FLAGS;          // AER +18h
extern const FlagTable AER_ROOT_STATUS_FLAGS;      // AER +30h
extern const FlagTable SRIOV_CONTROL_FLAGS;        // SR-IOV +8
extern const FlagTable ACS_FLAGS;                  // ACS +4 and +6
extern const FlagTable L1SS_CAPABILITY_FLAGS;      // L1 PM Substates +4
extern const FlagTable L1SS_CONTROL_FLAGS;         // L1 PM Substates +8

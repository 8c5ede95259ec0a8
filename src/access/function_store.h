// The functions of a dump, kept for lookups by bus and slot. The reader hands
// them over in file order and they are appended as they come; a repeated
// address is refused at once (one bit per address); after the last one the
// whole is sorted once (heap sort: n log n moves, in place) and then found by
// binary search. The memory is the owner's: the application grows a vector,
// kestrix.sys sizes a pool block by a first pass. Nothing here allocates or
// throws, so the driver uses it as it is.
#pragma once

#include "access/dump_parser.h"

#include <cstdio>
#include <cstring>

// Sort key in lspci order: bus, device, function.
constexpr unsigned functionOrder(unsigned bus, unsigned slot) {
    return bus << 8 | (slot & 0x1Fu) << 3 | slot >> 5;
}

// Which of the 65,536 bus/slot pairs have come.
struct AddressSet {
    uint8_t bits[256 * 256 / 8];
};

// Entry: a struct with the fields of DumpFunction (bus, slot, bytes, line).
template <typename Entry> unsigned functionOrder(const Entry &e) {
    return functionOrder(e.bus, e.slot);
}

// Fills the hole at index with item or with its larger children, moving the
// hole down the heap of the first end entries until item fits.
template <typename Entry>
void placeDown(Entry *entries, size_t hole, size_t end, const Entry &item) {
    const unsigned key = functionOrder(item);
    for (size_t child; (child = 2 * hole + 1) < end; hole = child) {
        if (child + 1 < end && functionOrder(entries[child + 1]) > functionOrder(entries[child]))
            ++child;
        if (functionOrder(entries[child]) <= key)
            break;
        entries[hole] = entries[child];
    }
    entries[hole] = item;
}

// Puts entries in lspci order: heap sort, n log n moves in place. Entries in
// that order already (as lspci writes them) cost one look at each.
template <typename Entry> void sortFunctions(Entry *entries, size_t count) {
    size_t sorted = 1;
    while (sorted < count && functionOrder(entries[sorted - 1]) < functionOrder(entries[sorted]))
        ++sorted;
    if (sorted >= count)
        return;
    for (size_t i = count / 2; i-- > 0;) {
        const Entry item = entries[i];
        placeDown(entries, i, count, item);
    }
    for (size_t end = count - 1; end > 0; --end) {
        const Entry item = entries[end];
        entries[end] = entries[0];
        placeDown(entries, 0, end, item);
    }
}

// The entry at bus and slot among entries sorted by sortFunctions, or null.
template <typename Entry>
const Entry *findFunction(const Entry *entries, size_t count, uint8_t bus, uint8_t slot) {
    const unsigned key = functionOrder(bus, slot);
    size_t low = 0, high = count;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const unsigned at = functionOrder(entries[middle]);
        if (at == key)
            return &entries[middle];
        if (at < key)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

// Collects what a DumpParser reads; a repeated address is refused at once.
template <typename Entry> class FunctionStore : public DumpSink {
  public:
    // seen is cleared here and belongs to this store while it loads.
    explicit FunctionStore(AddressSet &seen) : seen_(seen) { memset(&seen, 0, sizeof seen); }

    bool onFunction(const DumpFunction &function, char *message, size_t size) override {
        const unsigned address = unsigned(function.bus) << 8 | function.slot;
        if (seen_.bits[address / 8] >> (address % 8) & 1) {
            int first = 0;
            for (size_t i = 0; i < count_ && first == 0; ++i)
                if (entries_[i].bus == function.bus && entries_[i].slot == function.slot)
                    first = entries_[i].line;
            snprintf(message, size, "%02x:%02x.%u appears twice (first on line %d)",
                     unsigned(function.bus), unsigned(function.slot & 0x1F),
                     unsigned(function.slot >> 5), first);
            return false;
        }
        Entry *entries = room(count_ + 1, message, size);
        if (entries == nullptr)
            return false;
        entries_ = entries;
        Entry &entry = entries_[count_++];
        entry.bus = function.bus;
        entry.slot = function.slot;
        memcpy(entry.bytes, function.bytes, sizeof entry.bytes);
        entry.line = function.line;
        seen_.bits[address / 8] |= uint8_t(1u << (address % 8));
        return true;
    }

    // Once, after the last function: lspci order, ready for findFunction.
    void sort() { sortFunctions(entries_, count_); }

    size_t count() const { return count_; }
    const Entry *entries() const { return entries_; }

  protected:
    // Memory for count entries, those stored so far at its start; null with
    // the reason in message when there is none.
    virtual Entry *room(size_t count, char *message, size_t size) = 0;

  private:
    AddressSet &seen_;
    Entry *entries_ = nullptr;
    size_t count_ = 0;
};

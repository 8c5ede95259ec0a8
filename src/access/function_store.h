// The functions of a dump, kept for lookups by address. The reader hands them
// over in file order and they are appended as they come; after the reader
// they are sorted once (heap sort: n log n moves, in place), a function given
// twice is found next to its twin, and the rest is found by binary search.
// The memory is the owner's: the application grows a vector, kestrix.sys
// sizes a pool block by the length of the text. Nothing here allocates or
// throws, so the driver uses it as it is.
#pragma once

#include "access/dump_parser.h"

#include <cstdio>
#include <cstring>

// Entry: a struct with the fields of DumpFunction that name and hold a
// function (bus, slot, bytes, line, and domain where it has one).
template <typename Entry> uint32_t functionDomain(const Entry &e) {
    if constexpr (requires { e.domain; })
        return e.domain;
    else
        return 0;
}

// Sort key in lspci order: domain, bus, device, function.
constexpr uint64_t functionOrder(uint32_t domain, unsigned bus, unsigned slot) {
    return uint64_t(domain) << 16 | bus << 8 | (slot & 0x1Fu) << 3 | slot >> 5;
}
template <typename Entry> uint64_t functionOrder(const Entry &e) {
    return functionOrder(functionDomain(e), e.bus, e.slot);
}

// In lspci order, the earlier line first among functions given twice.
template <typename Entry> bool storedBefore(const Entry &a, const Entry &b) {
    const uint64_t x = functionOrder(a), y = functionOrder(b);
    return x != y ? x < y : a.line < b.line;
}

// Fills the hole at index with item or with its later children, moving the
// hole down the heap of the first end entries until item fits.
template <typename Entry>
void placeDown(Entry *entries, size_t hole, size_t end, const Entry &item) {
    for (size_t child; (child = 2 * hole + 1) < end; hole = child) {
        if (child + 1 < end && storedBefore(entries[child], entries[child + 1]))
            ++child;
        if (!storedBefore(item, entries[child]))
            break;
        entries[hole] = entries[child];
    }
    entries[hole] = item;
}

// Puts entries in lspci order: heap sort, n log n moves in place. Entries in
// that order already (as lspci writes them) cost one look at each.
template <typename Entry> void sortFunctions(Entry *entries, size_t count) {
    size_t sorted = 1;
    while (sorted < count && storedBefore(entries[sorted - 1], entries[sorted]))
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

// The entry at domain, bus and slot among entries sorted by sortFunctions.
template <typename Entry>
const Entry *findFunction(const Entry *entries, size_t count, uint32_t domain, uint8_t bus,
                          uint8_t slot) {
    const uint64_t key = functionOrder(domain, bus, slot);
    size_t low = 0, high = count;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const uint64_t at = functionOrder(entries[middle]);
        if (at == key)
            return &entries[middle];
        if (at < key)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

inline void copyFunction(DumpFunction &to, const DumpFunction &from) {
    to = from;
}
template <typename Entry> void copyFunction(Entry &to, const DumpFunction &from) {
    to.bus = from.bus;
    to.slot = from.slot;
    memcpy(to.bytes, from.bytes, sizeof to.bytes);
    to.line = from.line;
}

// Collects what a DumpParser reads.
template <typename Entry> class FunctionStore : public DumpSink {
  public:
    bool onFunction(const DumpFunction &function, char *message, size_t size) override {
        Entry *entries = room(count_ + 1, message, size);
        if (entries == nullptr)
            return false;
        entries_ = entries;
        copyFunction(entries_[count_++], function);
        return true;
    }

    // Once, after the reader: sorts the functions for findFunction and looks
    // for one given twice. The reader stops at the first fault, so a repeat
    // counts if it came before the line where the reader failed (0: it did
    // not). False with the cause and its line when it counts.
    bool finish(int failedLine, char *message, size_t size, int *line) {
        sortFunctions(entries_, count_);
        const Entry *repeat = nullptr, *first = nullptr;
        for (size_t i = 1, group = 0; i < count_; ++i) {
            if (functionOrder(entries_[i]) != functionOrder(entries_[i - 1])) {
                group = i;
                continue;
            }
            if (i == group + 1 && (repeat == nullptr || entries_[i].line < repeat->line)) {
                repeat = &entries_[i];
                first = &entries_[group];
            }
        }
        if (repeat == nullptr || (failedLine > 0 && repeat->line > failedLine))
            return true;
        const unsigned domain = functionDomain(*repeat);
        char domainText[16] = "";
        if (domain != 0) // domain 0 as lspci writes it: not at all
            snprintf(domainText, sizeof domainText, "%04x:", domain);
        snprintf(message, size, "%s%02x:%02x.%u appears twice (first on line %d)", domainText,
                 unsigned(repeat->bus), unsigned(repeat->slot & 0x1F), unsigned(repeat->slot >> 5),
                 first->line);
        *line = repeat->line;
        return false;
    }

    size_t count() const { return count_; }
    const Entry *entries() const { return entries_; }

  protected:
    // Memory for count entries, those stored so far at its start; null with
    // the reason in message when there is none.
    virtual Entry *room(size_t count, char *message, size_t size) = 0;

  private:
    Entry *entries_ = nullptr;
    size_t count_ = 0;
};

#include "access/function_store.h"
#include "header/config_header.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// An entry that counts how often entries are copied: the work of the store.
struct Counted {
    static inline long copies = 0;
    uint8_t bus = 0, slot = 0;
    uint8_t bytes[DUMP_CONFIG_BYTES] = {};
    int line = 0;
    Counted() = default;
    Counted(const Counted &other) { *this = other; }
    Counted &operator=(const Counted &other) {
        ++copies;
        bus = other.bus;
        slot = other.slot;
        line = other.line;
        return *this;
    }
};

class Store final : public FunctionStore<Counted> {
  public:
    explicit Store(std::vector<Counted> &table) : table_(table) {}

  private:
    Counted *room(size_t count, char *, size_t) override {
        return count <= table_.size() ? table_.data() : nullptr;
    }
    void onSkipped(int, const char *) override {}
    std::vector<Counted> &table_;
};

// Addresses in descending order: each function comes before all that it
// follows. A store that keeps itself sorted while it loads moves about
// n * n / 2 entries for these (with all 65,536 addresses, 50 s); sorting once,
// n log n. Then the one given twice, and only where the reader got that far.
TEST(FunctionStore, LoadsDescendingAddressesWithNLogNMovesAndFindsTheOneGivenTwice) {
    constexpr size_t N = 4096;
    std::vector<Counted> table(N + 1);
    Store store(table);
    Counted::copies = 0;
    char message[DUMP_MESSAGE_SIZE] = "";
    for (size_t i = 0; i <= N; ++i) {
        DumpFunction f{};
        const unsigned order = i < N ? unsigned(N - 1 - i) : 0x0C1D; // 0c:03.5 again, last
        f.bus = uint8_t(order >> 8);
        f.slot = uint8_t((order >> 3 & 0x1F) | (order & 7) << 5);
        f.line = int(i + 1);
        ASSERT_TRUE(store.onFunction(f, message, sizeof message)) << message;
    }
    EXPECT_EQ(Counted::copies, 0) << "functions are appended as they come";
    int line = 0;
    EXPECT_TRUE(store.finish(int(N), message, sizeof message, &line)) << "the reader failed before";
    EXPECT_LT(Counted::copies, long(3 * N * 12)) << "n log n moves";
    for (size_t i = 0; i < N; ++i)
        ASSERT_EQ(functionOrder(table[i + (i > 0x0C1D)]), i);
    EXPECT_FALSE(store.finish(0, message, sizeof message, &line));
    EXPECT_STREQ(message, "0c:03.5 appears twice (first on line 995)");
    EXPECT_EQ(line, int(N + 1));
    EXPECT_EQ(findFunction(table.data(), N + 1, 0, 0x0C, makeSlot(3, 6))->line, int(N - 0x0C1E));
}

} // namespace

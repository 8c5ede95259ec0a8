// The name database from the raw bytes of the whole file, with the line
// reader's results in a fraction of its time. One pass, 64 bytes at a time:
// it checks that the text-mode rules change nothing (no 0x1A, no CR but
// directly before a LF, no line that the reader would cut), and it finds the
// line feeds that are followed by a tag considered at the current depth. Only
// those lines are looked at; every other line is one that the line reader
// skips without effect. After a vendor that names no function, that is the
// next "\nV": the vendor's whole block costs no more than the check.
#include "naming/name_database.h"

#include "naming/name_lines.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif
// glibc's header is C that g++ takes and clang++ does not.
#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__)) &&      \
    __has_include(<sys/platform/x86.h>)
#define LUMIVAR_GLIBC_CPU_FEATURES 1
#include <sys/platform/x86.h>
#endif

namespace {

constexpr size_t CHUNK = 64;
// How far ahead of the scan memory is asked for: the processor's own
// prefetching stops at each 4 KB page, and a fresh page comes from memory.
constexpr size_t PREFETCH_AHEAD = 4096;
// The line reader takes NAME_LINE_SIZE - 1 characters, a line feed included;
// CRs count here too, so a line that passes is never cut.
constexpr int64_t LONGEST_LINE = NAME_LINE_SIZE - 1;

bool isConsidered(char tag, int depth) {
    NameTag info;
    return nameTagOf(tag, info) && depth >= info.level;
}

// The identifiers of one kind that the stored functions hold, hashed to 4096
// bits: a line whose number hits none of them names nothing, and needs no
// more reading than its number.
class IdFilter {
  public:
    void add(uint16_t id) { bits_[(id >> 6) & 63] |= uint64_t(1) << (id & 63); }
    bool mayHold(uint32_t number) const {
        return number <= 0xFFFF && (bits_[(number >> 6) & 63] >> (number & 63) & 1) != 0;
    }

  private:
    uint64_t bits_[64] = {};
};

// Bit i of each mask stands for the byte at offset i of a 64-byte chunk.
struct ChunkMasks {
    uint64_t lineFeeds;
    uint64_t returns; // CRs
    uint64_t vendors; // V bytes
    uint64_t devices; // D bytes
};

// Fills the masks of count chunks at p; true when a 0x1A is among their bytes.
using MaskChunks = bool (*)(const unsigned char *p, size_t count, ChunkMasks *masks);

#if defined(__SSE2__)
// 16 bytes at a time: SSE2 is part of every x86-64.
struct Sse2Masks {
    __m128i ctrlZ = _mm_setzero_si128();
    uint64_t lineFeeds = 0, returns = 0, vendors = 0, devices = 0;

    void add(const unsigned char *p, int shift) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        ctrlZ = _mm_or_si128(ctrlZ, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x1A)));
        lineFeeds |= maskOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))) << shift;
        returns |= maskOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))) << shift;
        vendors |= maskOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('V'))) << shift;
        devices |= maskOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('D'))) << shift;
    }
    static uint64_t maskOf(__m128i m) { return uint64_t(unsigned(_mm_movemask_epi8(m))); }
};

bool maskChunksSse2(const unsigned char *p, size_t count, ChunkMasks *masks) {
    __m128i ctrlZ = _mm_setzero_si128();
    for (size_t c = 0; c < count; ++c, p += CHUNK) {
        __builtin_prefetch(p + PREFETCH_AHEAD);
        Sse2Masks m;
        m.add(p, 0);
        m.add(p + 16, 16);
        m.add(p + 32, 32);
        m.add(p + 48, 48);
        masks[c] = {m.lineFeeds, m.returns, m.vendors, m.devices};
        ctrlZ = _mm_or_si128(ctrlZ, m.ctrlZ);
    }
    return _mm_movemask_epi8(ctrlZ) != 0;
}
#endif

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// 32 bytes at a time where the processor has AVX2.
#define LUMIVAR_AVX2 __attribute__((target("avx2")))

// Bit i: byte i of the 64 in low and high equals the byte in every lane of c.
LUMIVAR_AVX2 inline uint64_t matches(__m256i low, __m256i high, __m256i c) {
    return uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, c)))) |
           uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, c)))) << 32;
}

LUMIVAR_AVX2 bool maskChunksAvx2(const unsigned char *p, size_t count, ChunkMasks *masks) {
    __m256i ctrlZ = _mm256_setzero_si256();
    const __m256i lineFeed = _mm256_set1_epi8('\n'), ret = _mm256_set1_epi8('\r'),
                  vendor = _mm256_set1_epi8('V'), device = _mm256_set1_epi8('D'),
                  ctrlZByte = _mm256_set1_epi8(0x1A);
    for (size_t c = 0; c < count; ++c, p += CHUNK) {
        __builtin_prefetch(p + PREFETCH_AHEAD);
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32));
        ctrlZ = _mm256_or_si256(ctrlZ, _mm256_or_si256(_mm256_cmpeq_epi8(low, ctrlZByte),
                                                       _mm256_cmpeq_epi8(high, ctrlZByte)));
        masks[c] = {matches(low, high, lineFeed), matches(low, high, ret),
                    matches(low, high, vendor), matches(low, high, device)};
    }
    return !_mm256_testz_si256(ctrlZ, ctrlZ);
}

MaskChunks bestMaskChunks() {
#ifdef LUMIVAR_GLIBC_CPU_FEATURES
    // What the C library found at start-up: no CPUID of our own, which a
    // virtual machine's hypervisor would have to answer.
    const bool avx2 = CPU_FEATURE_ACTIVE(AVX2);
#else
    const bool avx2 = __builtin_cpu_supports("avx2");
#endif
    return avx2 ? maskChunksAvx2 : maskChunksSse2;
}
#elif defined(__SSE2__)
MaskChunks bestMaskChunks() {
    return maskChunksSse2;
}
#else
// One byte at a time elsewhere.
bool maskChunksByByte(const unsigned char *p, size_t count, ChunkMasks *masks) {
    bool ctrlZ = false;
    for (size_t c = 0; c < count; ++c, p += CHUNK) {
        ChunkMasks m{0, 0, 0, 0};
        for (size_t i = 0; i < CHUNK; ++i) {
            ctrlZ = ctrlZ || p[i] == 0x1A;
            m.lineFeeds |= uint64_t(p[i] == '\n') << i;
            m.returns |= uint64_t(p[i] == '\r') << i;
            m.vendors |= uint64_t(p[i] == 'V') << i;
            m.devices |= uint64_t(p[i] == 'D') << i;
        }
        masks[c] = m;
    }
    return ctrlZ;
}

MaskChunks bestMaskChunks() {
    return maskChunksByByte;
}
#endif

class BlockReader {
  public:
    BlockReader(const char *bytes, size_t size, FileBlock *file, FunctionNames *const *functions,
                int count)
        : bytes_(bytes), size_(size), file_(file), functions_(functions), count_(count) {
        for (int i = 0; i < count; ++i)
            for (int k = 0; k < NAME_KINDS; ++k)
                ids_[k].add(functions[i]->ids[k]);
    }

    // The line feeds passed so far.
    long lineFeeds() const { return lineFeeds_; }

    // False as soon as the file breaks a rule that the line reader would apply.
    bool run() {
        if (size_ > 0 && isConsidered(bytes_[0], state_.depth))
            visitLine(0);
        for (size_t at = 0; at < size_; at += WINDOW * CHUNK) {
            if (file_ != nullptr && at % RELEASE_STEP == 0)
                file_->release(at);
            if (!checkWindow(at) || !linesFit(at))
                return false;
            visitLines(at);
        }
        // The last line, when no line feed ends it.
        return int64_t(size_) - 1 - lastLineFeed_ <= LONGEST_LINE;
    }

  private:
    static constexpr size_t WINDOW = 64;               // chunks masked at once: 4 KB
    static constexpr size_t RELEASE_STEP = 256 * 1024; // how often passed pages go

    // Masks the window from offset at: its chunks, the last one padded with
    // zeros, and the byte after them as one more entry. From them, the line
    // feeds before a V or a D, and which chunks hold any; false on a 0x1A, or
    // a CR not directly before a LF.
    bool checkWindow(size_t at) {
        const size_t have = size_ - at < WINDOW * CHUNK ? size_ - at : WINDOW * CHUNK;
        const auto *p = reinterpret_cast<const unsigned char *>(bytes_) + at;
        bool ctrlZ = maskChunks_(p, have / CHUNK, masks_);
        chunks_ = have / CHUNK;
        if (have % CHUNK != 0) {
            unsigned char tail[CHUNK] = {};
            memcpy(tail, p + have / CHUNK * CHUNK, have % CHUNK);
            ctrlZ = maskChunks_(tail, 1, masks_ + chunks_++) || ctrlZ;
        }
        const unsigned char next = at + have < size_ ? p[have] : 0;
        masks_[chunks_] = {next == '\n', next == '\r', next == 'V', next == 'D'};
        // Bit 63 of each mask shifted right takes bit 0 of the next chunk's.
        uint64_t strayReturns = 0;
        withLineFeeds_ = withVendors_ = withDevices_ = 0;
        for (size_t c = 0; c < chunks_; ++c) {
            const ChunkMasks &m = masks_[c], &after = masks_[c + 1];
            strayReturns |= m.returns & ~(m.lineFeeds >> 1 | after.lineFeeds << 63);
            vendorStarts_[c] = m.lineFeeds & (m.vendors >> 1 | after.vendors << 63);
            deviceStarts_[c] = m.lineFeeds & (m.devices >> 1 | after.devices << 63);
            withLineFeeds_ |= uint64_t(m.lineFeeds != 0) << c;
            lineFeeds_ += std::popcount(m.lineFeeds);
            withVendors_ |= uint64_t(vendorStarts_[c] != 0) << c;
            withDevices_ |= uint64_t(deviceStarts_[c] != 0) << c;
        }
        return !ctrlZ && strayReturns == 0;
    }

    // Whether every line that ends in the window, and the one it ends in,
    // is one the line reader takes whole. Where no two chunks in a row lack
    // a line feed, no line inside is longer than 191 bytes: only the first
    // needs a look, the one that began before.
    bool linesFit(size_t at) {
        const uint64_t none =
            ~withLineFeeds_ & (chunks_ < 64 ? (uint64_t(1) << chunks_) - 1 : ~0ull);
        if (withLineFeeds_ == 0 || (none & none >> 1) != 0)
            return linesFitOneByOne(at);
        const size_t first = size_t(std::countr_zero(withLineFeeds_));
        const size_t last = size_t(63 - std::countl_zero(withLineFeeds_));
        if (int64_t(at + first * CHUNK) + std::countr_zero(masks_[first].lineFeeds) -
                lastLineFeed_ >
            LONGEST_LINE)
            return false;
        lastLineFeed_ = int64_t(at + last * CHUNK) + 63 - std::countl_zero(masks_[last].lineFeeds);
        return true;
    }

    bool linesFitOneByOne(size_t at) {
        for (size_t c = 0; c < chunks_; ++c) {
            const uint64_t lineFeeds = masks_[c].lineFeeds;
            if (lineFeeds == 0)
                continue;
            const int64_t chunkAt = int64_t(at + c * CHUNK);
            if (chunkAt + std::countr_zero(lineFeeds) - lastLineFeed_ > LONGEST_LINE)
                return false;
            lastLineFeed_ = chunkAt + 63 - std::countl_zero(lineFeeds);
        }
        return true;
    }

    // Visits the window's lines whose tag is considered at the depth that
    // holds when each is reached. Below depth 2 only V and D lines are, and
    // the chunks that start any are known.
    void visitLines(size_t at) {
        for (size_t c = 0; c < chunks_;) {
            const int depth = state_.depth;
            const uint64_t chunks = depth == 0   ? withVendors_
                                    : depth == 1 ? withVendors_ | withDevices_
                                                 : withLineFeeds_;
            const uint64_t ahead = chunks & ~uint64_t(0) << c;
            if (ahead == 0)
                return;
            c = size_t(std::countr_zero(ahead));
            const size_t chunkAt = at + c * CHUNK;
            const size_t start = nextLineStart(c, chunkAt);
            if (start == 0) {
                ++c;
                continue;
            }
            visitLine(start);
            next_ = start;
        }
    }

    // The offset of the next line, not before next_, whose tag is considered
    // at the current depth and that starts after a line feed of chunk c; 0 if
    // none does.
    size_t nextLineStart(size_t c, size_t chunkAt) const {
        const int depth = state_.depth;
        uint64_t candidates = depth == 0   ? vendorStarts_[c]
                              : depth == 1 ? vendorStarts_[c] | deviceStarts_[c]
                                           : masks_[c].lineFeeds;
        if (next_ > chunkAt)
            candidates =
                next_ - chunkAt < CHUNK ? candidates & ~uint64_t(0) << (next_ - chunkAt) : 0;
        for (; candidates != 0; candidates &= candidates - 1) {
            const size_t start = chunkAt + size_t(std::countr_zero(candidates)) + 1;
            if (depth <= 1 || (start < size_ && isConsidered(bytes_[start], depth)))
                return start;
        }
        return 0;
    }

    // A considered line at offset start: a number that no stored function
    // holds names nothing; any other line goes through the line reader's rules
    // as the reader would give it.
    void visitLine(size_t start) {
        const char *end = bytes_ + size_;
        NameTag tag{};
        nameTagOf(bytes_[start], tag);
        const char *token = bytes_ + start + 1;
        while (token != end && (*token == ' ' || *token == '\t'))
            ++token;
        if (!ids_[tag.kind].mayHold(parseNumberUntil(16, token, end))) {
            enterNameLine(tag, state_);
            return;
        }
        const size_t room = size_ - start < size_t(LONGEST_LINE) ? size_ - start : LONGEST_LINE;
        const void *lineFeed = memchr(bytes_ + start, '\n', room);
        size_t length = lineFeed != nullptr
                            ? size_t(static_cast<const char *>(lineFeed) - bytes_) + 1 - start
                            : room;
        char line[NAME_LINE_SIZE];
        memcpy(line, bytes_ + start, length);
        if (lineFeed != nullptr && length >= 2 && line[length - 2] == '\r') {
            line[length - 2] = '\n'; // the text-mode reader drops the CR
            --length;
        }
        line[length] = '\0';
        considerNameLine(line, state_, functions_, count_);
    }

    const char *bytes_;
    size_t size_;
    FileBlock *file_; // where the bytes are mapped from, if they are
    FunctionNames *const *functions_;
    int count_;
    IdFilter ids_[NAME_KINDS];
    NameLoadState state_;
    const MaskChunks maskChunks_ = bestMaskChunks();
    size_t next_ = 0;           // line feeds before this offset are passed
    int64_t lastLineFeed_ = -1; // the offset of the last line feed checked
    long lineFeeds_ = 0;
    // The window: its chunks' masks and how many; per chunk, the line feeds
    // that start a V line and a D line; bit c set for each chunk that holds
    // a line feed, a V line's start, a D line's start.
    ChunkMasks masks_[WINDOW + 1];
    size_t chunks_ = 0;
    uint64_t vendorStarts_[WINDOW], deviceStarts_[WINDOW];
    uint64_t withLineFeeds_ = 0, withVendors_ = 0, withDevices_ = 0;
};

bool loadBlock(const char *bytes, size_t size, FileBlock *file, FunctionNames *const *functions,
               int count, long &lines) {
    if (size > NAME_FILE_LIMIT)
        return false;
    // The names as they were, for a rule of the line reader that turns up
    // late in the file.
    std::vector<FunctionNames> saved(size_t(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i)
        saved[size_t(i)] = *functions[i];
    BlockReader reader(bytes, size, file, functions, count);
    if (!reader.run()) {
        for (int i = 0; i < count; ++i)
            *functions[i] = saved[size_t(i)];
        return false;
    }
    clearRepeatedNames(functions, count);
    // The line reader counts a line at each line feed, and one more: the
    // last, or the empty one after the last line feed.
    lines = reader.lineFeeds() + 1;
    return true;
}

} // namespace

bool loadNameDatabaseBlock(const char *bytes, size_t size, FunctionNames *const *functions,
                           int count, long &lines) {
    return loadBlock(bytes, size, nullptr, functions, count, lines);
}

bool loadNameDatabaseBlock(FileBlock &block, FunctionNames *const *functions, int count,
                           long &lines) {
    return loadBlock(block.data(), block.size(), &block, functions, count, lines);
}

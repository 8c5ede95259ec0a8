// The compiled resources of lumivar.rc as the Linux build reads them: names
// found as Windows finds them, and the readers' answers to damaged and cut
// copies of the same bytes. What the template holds shows on the screens of
// tests/platform/screen_test.cpp.
#include "base/code_page.h"
#include "winres/dialog_template.h"
#include "winres/resource_file.h"

#include "lumivar_res_data.h"
#include "platform/case_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes RES(LUMIVAR_RES, LUMIVAR_RES + LUMIVAR_RES_SIZE);

DialogTemplate parsed; // large: static storage

ResourceEntry find(const Bytes &bytes, uint16_t type, const char *name, ResourceResult *r) {
    ResourceEntry entry{};
    *r = findResource(
        bytes.data(), bytes.size(), resourceOrdinal(type),
        name[0] == '#' ? resourceOrdinal(uint16_t(atoi(name + 1))) : resourceNamed(name), &entry);
    return entry;
}

// Input: "find", a type (dialog, icon, group) and a name (#n an ordinal);
// or "damage", "file" or "dialog", an offset into the file or the KESTRIX
// template and the 32-bit value written there. Made: what the reader said.
TEST(CompiledResources, NamesAndDamage) {
    testing_support::expectCaseTable("compiled-resources.txt", [](const std::string &input) {
        char verb[8] = "", what[8] = "", name[32] = "";
        unsigned value = 0;
        sscanf(input.c_str(), "%7s %7s %31s %x", verb, what, name, &value);
        const size_t at = strtoul(name, nullptr, 10);
        const std::string kind = what;
        const uint16_t type = kind == "icon"    ? RESOURCE_TYPE_ICON
                              : kind == "group" ? RESOURCE_TYPE_GROUP_ICON
                                                : RESOURCE_TYPE_DIALOG;
        ResourceResult r;
        if (std::string(verb) == "find") {
            find(RES, type, name, &r);
            return std::string(r.status == ResourceStatus::Ok ? "found" : r.message);
        }
        Bytes b = RES;
        if (kind == "dialog") {
            const ResourceEntry dialog = find(RES, RESOURCE_TYPE_DIALOG, "KESTRIX", &r);
            b.assign(dialog.data, dialog.data + dialog.size);
        }
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = uint8_t(value >> (8 * i));
        if (kind == "dialog")
            return std::string(parseDialogTemplate(b.data(), b.size(), &parsed).message);
        find(b, 1, "#1", &r);
        return std::string(r.message);
    });
    EXPECT_TRUE(sameName("\xC9t\xE9 \x8A\xFF", "\xE9T\xC9 \x9A\x9F")); // Été Šÿ
    EXPECT_FALSE(sameName("\xDF", "SS"));
}

// Cut anywhere, either reader says so and reads nothing past the end (each
// prefix is its own exact-size buffer for the sanitizer build).
TEST(CompiledResources, EveryPrefixIsRefused) {
    for (size_t size = 0; size < RES.size(); ++size) {
        const Bytes cut(RES.begin(), RES.begin() + long(size));
        ResourceEntry entry;
        const ResourceResult r =
            findResource(cut.data(), cut.size(), resourceOrdinal(1), resourceOrdinal(1), &entry);
        // A cut in the padding after the last entry's data leaves it whole.
        if (r.status == ResourceStatus::Ok)
            ASSERT_GE(size + 3, RES.size());
        else
            ASSERT_NE(r.message[0], '\0') << size;
    }
    ResourceResult found;
    const ResourceEntry dialog = find(RES, RESOURCE_TYPE_DIALOG, "KESTRIX", &found);
    for (size_t size = 0; size < dialog.size; ++size) {
        const Bytes cut(dialog.data, dialog.data + size);
        ASSERT_EQ(parseDialogTemplate(cut.data(), cut.size(), &parsed).status,
                  DialogStatus::Truncated)
            << size;
    }
}

} // namespace

// The key of a folder known by its name alone: two spellings of one name that differ only in
// case are one folder, and any other difference makes another. The fold here stands in for the
// platform's: Latin letters, and those of Latin-1, to upper case.
#include "FolderKey.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void FoldLatin(wchar_t* name, std::size_t length) {
    for (std::size_t at = 0; at < length; ++at) {
        const wchar_t c = name[at];
        const bool lower = (c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
        name[at] = lower ? static_cast<wchar_t>(c - 0x20) : c;
    }
}

std::uint64_t Key(std::wstring name) {
    return KeyOfFolderName(name.data(), name.size(), FoldLatin);
}

TEST(FolderKey, ANameInAnotherCaseIsTheSameFolderAndAnyOtherDifferenceAnother) {
    const struct {
        const wchar_t* name;
        const wchar_t* other;
        bool same;
    } rows[] = {
        {L"C:\\Music\\Live Set", L"c:\\music\\LIVE SET", true},
        {L"\\\\server\\share\\\x00DC"
         L"bung",
         L"\\\\SERVER\\Share\\\x00FC"
         L"BUNG",
         true},
        {L"C:\\Music\\Live Set", L"C:\\Music\\Live Set 2", false},
        {L"C:\\Music\\Live Set", L"C:\\Music\\Live_Set", false},
        {L"C:\\Music\\ab", L"C:\\Music\\ba", false},
        {L"C:\\Music", L"C:\\Music\\", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Key(row.name) == Key(row.other), row.same) << row.name;
    }
}

} // namespace

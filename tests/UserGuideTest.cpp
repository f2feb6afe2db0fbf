// The user guide's table of what every learn button sends is the learn catalogue itself.
#include "Engine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string control;
    unsigned controller;
    unsigned value;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << row.control << ": CC " << row.controller << " = " << row.value;
}

TEST(UserGuide, ButtonTableListsTheCatalogueInOrder) {
    std::ifstream guide(QUORVEL_USER_GUIDE);
    ASSERT_TRUE(guide) << QUORVEL_USER_GUIDE;
    const std::regex row(R"(^\| [^|]+ \| ([^|]+) \| CC (\d+) = (\d+) on channel 1 \|$)");
    std::vector<Row> table;
    for (std::string line; std::getline(guide, line);) {
        std::smatch match;
        if (std::regex_match(line, match, row)) {
            table.push_back({match[1], static_cast<unsigned>(std::stoul(match[2])),
                             static_cast<unsigned>(std::stoul(match[3]))});
        }
    }
    std::vector<Row> catalogue;
    for (const LearnMessage& entry : kLearnCatalogue) {
        catalogue.push_back({entry.name, entry.controller, entry.buttonValue});
    }
    EXPECT_EQ(table, catalogue);
}

} // namespace

// tessmark-sample-org: the local orgs it makes, their duplicates and its options.
#include "HelperE2ESupport.h"

#include <map>
#include <set>

using namespace helpere2e;

namespace {

class SampleOrg : public HelperTest {
protected:
    // Rows of a whole table as one text, to compare two orgs.
    std::string Dump(const std::string& table) {
        std::string out;
        for (const auto& row : Query("SELECT * FROM \"" + table + "\" ORDER BY Seq")) {
            for (const std::string& v : row)
                out += v + "|";
            out += "\n";
        }
        return out;
    }
};

bool HasNonAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80)
            return true;
    return false;
}

} // namespace

TEST_F(SampleOrg, MakesTheCountsAndTheLoginAskedFor) {
    MakeOrg({"--contacts", "40", "--accounts", "5", "--leads", "3", "--events", "7", "--tasks", "0",
             "--notes", "2", "--user", "ann@example.org", "--password", "pw", "--token", "TOK"});
    const std::pair<const char*, const char*> tables[] = {{"Contact", "003"}, {"Account", "001"},
                                                          {"Lead", "00Q"},    {"Event", "00U"},
                                                          {"Task", "00T"},    {"Note", "002"}};
    const long long expected[] = {40, 5, 3, 7, 0, 2};
    for (size_t i = 0; i < std::size(tables); ++i) {
        const auto& [table, prefix] = tables[i];
        EXPECT_EQ(Count(table), expected[i]) << table;
        // Every Id is 18 characters with the object's prefix, unique without
        // regard to case; Seq numbers the rows from 1.
        EXPECT_EQ(
            Count(table, std::string("length(Id) = 18 AND substr(Id, 1, 3) = '") + prefix + "'"),
            expected[i])
            << table;
        auto distinct = Query(std::string("SELECT count(DISTINCT lower(Id)), coalesce(max(Seq), 0) "
                                          "FROM \"") +
                              table + "\"");
        EXPECT_EQ(distinct[0][0], std::to_string(expected[i])) << table;
        EXPECT_EQ(distinct[0][1], std::to_string(expected[i])) << table;
    }
    auto users = Query("SELECT Username, Password, SecurityToken FROM \"User\"");
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0], (std::vector<std::string>{"ann@example.org", "pw", "TOK"}));
    EXPECT_EQ(Count("RecycleBin"), 0);
}

TEST_F(SampleOrg, TheSameSeedGivesTheSameOrg) {
    const std::vector<std::string> options{"--contacts", "50", "--seed", "42"};
    MakeOrg(options);
    const std::string contacts = Dump("Contact"), events = Dump("Event"), notes = Dump("Note");
    std::vector<std::string> again = options;
    again.push_back("--force");
    MakeOrg(again);
    EXPECT_EQ(Dump("Contact"), contacts);
    EXPECT_EQ(Dump("Event"), events);
    EXPECT_EQ(Dump("Note"), notes);
    again[3] = "43";
    MakeOrg(again);
    EXPECT_NE(Dump("Contact"), contacts);
}

TEST_F(SampleOrg, DuplicatesVaryCaseEmptyFieldsAndModificationTime) {
    MakeOrg({"--contacts", "400", "--dup-rate", "0.3", "--seed", "5"});
    // A duplicate keeps its original's CreatedDate and street, which the
    // variations never touch; nothing else shares both.
    auto rows = Query("SELECT CreatedDate || MailingStreet, Name, Email, Phone, LastModifiedDate, "
                      "FirstName || LastName FROM Contact ORDER BY Seq");
    std::map<std::string, std::vector<std::vector<std::string>>> groups;
    for (const auto& row : rows)
        groups[row[0]].push_back(row);

    size_t duplicates = 0, caseVariants = 0, emptied = 0, nonAscii = 0;
    for (const auto& [key, members] : groups) {
        duplicates += members.size() - 1;
        std::set<std::string> modified, names, emails;
        bool someEmptied = false, someWhole = false;
        for (const auto& m : members) {
            modified.insert(m[4]);
            names.insert(m[1]);
            if (!m[2].empty())
                emails.insert(m[2]);
            // Originals always have an e-mail address and a phone.
            (m[2].empty() || m[3].empty() ? someEmptied : someWhole) = true;
            nonAscii += HasNonAscii(m[5]);
        }
        EXPECT_EQ(modified.size(), members.size()) << "LastModifiedDate repeats in " << key;
        // Names and addresses of one group differ only in case.
        caseVariants += names.size() > 1 || emails.size() > 1;
        emptied += someEmptied && someWhole;
    }
    // About 120 of 400 are made as duplicates.
    EXPECT_GT(duplicates, 60u);
    EXPECT_LT(duplicates, 180u);
    EXPECT_GT(caseVariants, 10u);
    EXPECT_GT(emptied, 10u);
    EXPECT_GT(nonAscii, 40u);
    // Apart from duplicates, every e-mail address is the contact's own.
    auto shared = Query("SELECT count(*) FROM (SELECT lower(Email) e, count(DISTINCT "
                        "CreatedDate) n FROM Contact WHERE Email IS NOT NULL GROUP BY e) "
                        "WHERE n > 1");
    EXPECT_EQ(shared[0][0], "0");
}

TEST_F(SampleOrg, NoDuplicatesAtRateZero) {
    MakeOrg({"--contacts", "200", "--accounts", "100", "--dup-rate", "0"});
    EXPECT_EQ(Query("SELECT count(DISTINCT CreatedDate || MailingStreet) FROM Contact")[0][0],
              "200");
    EXPECT_EQ(Query("SELECT count(DISTINCT lower(Name)) FROM Account")[0][0], "100");
}

TEST_F(SampleOrg, AnExistingFileIsReplacedOnlyWithForce) {
    testsupport::WriteFileBytes(OrgPath(), "not an org");
    EXPECT_EQ(RunProgram("tessmark-sample-org", {"--out", OrgPath()}), 1);
    EXPECT_EQ(testsupport::ReadFileBytes(OrgPath()), "not an org");
    EXPECT_EQ(RunProgram("tessmark-sample-org", {"--out", OrgPath(), "--force"}), 0);
    EXPECT_EQ(Count("Contact"), 200);

    const std::vector<std::string> bad[] = {{},
                                            {"--out"},
                                            {"--out", OrgPath(), "--contacts", "-1"},
                                            {"--out", OrgPath(), "--dup-rate", "1.5"},
                                            {"--out", OrgPath(), "--bogus"}};
    for (const auto& args : bad)
        EXPECT_EQ(RunProgram("tessmark-sample-org", args), 2) << args.size();
}

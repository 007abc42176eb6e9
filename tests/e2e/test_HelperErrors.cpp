// Runs of the real helper program that cannot carry out their request: each
// ends with a non-zero status and says why in the error file.
#include "HelperE2ESupport.h"

using namespace helpere2e;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class HelperErrors : public HelperTest {};

} // namespace

TEST_F(HelperErrors, WrongCredentialsWriteAnErrorAndNoDataFile) {
    MakeOrg();
    struct Case {
        const char* name;
        Login login;
        int exit;
    } cases[] = {
        {"wrong password", {"demo@example.com", "wrong", "DEMOTOKEN"}, 4},
        {"wrong user", {"nobody@example.com", "demo", "DEMOTOKEN"}, 4},
        {"wrong token", {"demo@example.com", "demo", "OTHER"}, 4},
        {"no token", {"demo@example.com", "demo", ""}, 4},
        // The user name is not case-sensitive; the token may follow the password.
        {"user name in capitals", {"DEMO@Example.com", "demo", "DEMOTOKEN"}, 0},
        {"token appended to the password", {"demo@example.com", "demoDEMOTOKEN", ""}, 0},
    };
    for (const Case& c : cases) {
        // A data file of an earlier run must not pass for this run's.
        testsupport::WriteFileBytes(InData(kAddr.data), "old");
        WriteParams(kAddr, 1, c.login);
        EXPECT_EQ(RunHelper(kAddr), c.exit) << c.name;
        std::vector<std::string> errors = Errors(kAddr);
        if (c.exit == 0) {
            EXPECT_EQ(errors, std::vector<std::string>{}) << c.name;
            EXPECT_GT(ReadData<SFAddrRec>(kAddr).size(), 0u) << c.name;
        } else {
            ASSERT_EQ(errors.size(), 1u) << c.name;
            EXPECT_TRUE(Contains(errors[0], "Login failed")) << errors[0];
            EXPECT_FALSE(testsupport::FileExists(InData(kAddr.data))) << c.name;
        }
        EXPECT_EQ(StateValue(kAddr, "Running"), 0) << c.name;
    }
    // A refused submit deletes nothing.
    const std::vector<long long> before = AllCounts();
    std::vector<SFAddrRec> recs = ReadData<SFAddrRec>(kAddr);
    recs[0].ChangeAction = 3;
    WriteData(kAddr, recs);
    WriteParams(kAddr, 2, {"demo@example.com", "wrong", "DEMOTOKEN"});
    EXPECT_EQ(RunHelper(kAddr), 4);
    EXPECT_EQ(AllCounts(), before);
}

TEST_F(HelperErrors, AnOrgThatIsNotConfiguredOrNotThereIsReported) {
    struct Case {
        const char* name;
        std::string ini; // empty: no settings file
        const char* expected;
    } cases[] = {
        {"no settings file", "", "LocalOrg="},
        {"no LocalOrg key", "[Helper]\nOther=1\n", "Velmora.SFHelper.ini"},
        {"missing database", "[Helper]\nLocalOrg=/nonexistent/org.db\n", "does not exist"},
        {"not an org", "[Helper]\nLocalOrg=Velmora.SFHelper.ini\n", "not"},
    };
    // A copy of the helper in a folder of its own, so that a settings file in
    // the build's program folder (scripts/run writes one) cannot answer.
    testsupport::TempDir programFolder;
    std::filesystem::copy_file(ProgramFolder() + kAddr.helper, programFolder.Path(kAddr.helper));
    for (const Case& c : cases) {
        std::filesystem::remove(InData("Velmora.SFHelper.ini"));
        if (!c.ini.empty())
            testsupport::WriteFileBytes(InData("Velmora.SFHelper.ini"), c.ini);
        WriteParams(kAddr, 1);
        EXPECT_EQ(RunProgram(kAddr.helper, {InData(kAddr.param)}, nullptr, programFolder.Folder()),
                  3)
            << c.name;
        std::vector<std::string> errors = Errors(kAddr);
        ASSERT_EQ(errors.size(), 1u) << c.name;
        EXPECT_TRUE(Contains(errors[0], c.expected)) << c.name << ": " << errors[0];
        EXPECT_FALSE(testsupport::FileExists(InData(kAddr.data))) << c.name;
    }
}

TEST_F(HelperErrors, ADamagedParameterFileIsReportedWhereverPossible) {
    MakeOrg();
    WriteParams(kAddr, 1);
    const std::string whole = testsupport::ReadFileBytes(InData(kAddr.param));
    // Cut inside the last entry: the folder and the error file name are known.
    testsupport::WriteFileBytes(InData(kAddr.param), whole.substr(0, whole.size() - 2));
    EXPECT_EQ(RunHelper(kAddr), 2);
    std::vector<std::string> errors = Errors(kAddr);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(Contains(errors[0], "parameter file")) << errors[0];
    EXPECT_FALSE(testsupport::FileExists(InData(kAddr.data)));

    // An entry of a type without a layout stops the reading.
    std::string typed = whole;
    typed[8] = 99; // the type code of the first entry
    testsupport::WriteFileBytes(InData(kAddr.param), typed);
    EXPECT_EQ(RunHelper(kAddr), 2);

    // A missing parameter file, or none named: nothing is known to report to.
    EXPECT_EQ(RunProgram(kAddr.helper, {InData("missing.dat")}), 2);
    EXPECT_EQ(RunProgram(kAddr.helper, {}), 1);
}

TEST_F(HelperErrors, UnusableRequestsAreRefused) {
    MakeOrg();
    struct Case {
        const char* name;
        int32_t tag;
        const char* value;
        const char* expected;
    } cases[] = {
        {"unknown data file", 1004, "Other.dat", "Unknown data file name"},
        {"data file outside the folder", 1004, "../SFAddr.dat", "Unknown data file name"},
        {"unknown request", 1006, "5", "Unknown request"},
        {"unknown connection", 1013, "ftp", "Unknown connection"},
        {"unknown sign-in method", 1015, "pigeon", "Unknown sign-in method"},
        {"browser sign-in without its app", 1015, "browser",
         "The parameter file names no "
         "consumer key"},
    };
    for (const Case& c : cases) {
        CxSFParamParser p;
        const std::pair<int32_t, std::string> tags[] = {
            {1001, "demo@example.com"}, {1002, "demo"},
            {1003, "DEMOTOKEN"},        {1004, "SFAddr.dat"},
            {1005, DataFolder()},       {1006, "1"},
            {1007, "SFAddrErr.dat"},    {1008, "SFAddrStatus.dat"}};
        for (const auto& [tag, text] : tags)
            ASSERT_TRUE(p.SetParam(tag, ptText, tag == c.tag ? c.value : text.c_str()));
        // A tag the usual list lacks is added.
        ASSERT_TRUE(p.SetParam(c.tag, ptText, c.value));
        ASSERT_TRUE(p.SaveParams(InData(kAddr.param).c_str()));
        EXPECT_EQ(RunHelper(kAddr), 2) << c.name;
        std::vector<std::string> errors = Errors(kAddr);
        ASSERT_EQ(errors.size(), 1u) << c.name;
        EXPECT_TRUE(Contains(errors[0], c.expected)) << c.name << ": " << errors[0];
    }
    EXPECT_EQ(Count("RecycleBin"), 0);
}

TEST_F(HelperErrors, AnErrorFileOfAnEarlierRunIsReplaced) {
    MakeOrg();
    testsupport::WriteFileBytes(InData(kAddr.error),
                                "[Error]\nError.Count=2\nError.1=old\nError.2=older\n");
    ASSERT_EQ(Load(kAddr), 0);
    EXPECT_EQ(Errors(kAddr), std::vector<std::string>{});
}

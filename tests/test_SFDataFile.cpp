#include "CxSFAddr.h"
#include "CxSFDate.h"
#include "CxSFNote.h"
#include "CxSFTask.h"
#include "RecordBytes.h"
#include "TestSupport.h"
#include "WinUtil.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testsupport::Bytes;
using testsupport::FileExists;
using testsupport::LogCapture;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

// What differs between the kinds: names, log texts and a small record.
struct AddrKind {
    using Util = CxSFAddrUtil;
    static constexpr const char* stem = "SFAddr";
    static constexpr const char* source = "CxSFAddr.cpp";
    static constexpr const char* readStart =
        "Start loading salesforce Contacts from temperary file: ";
    static constexpr const char* count = "There are %d Contact records in total.";
    static constexpr const char* readDone =
        "Load salesforce Contacts information from file successfully.";
    static constexpr const char* writeStart =
        "Start saving salesforce Contacts information to file: ";
    static constexpr const char* writeDone =
        "Save salesforce Contacts information to file successfully.";
    static SFAddrRec Sample(int n) {
        SFAddrRec r;
        r.ChangeAction = n;
        CopyText(r.Id, ("003" + std::to_string(n)).c_str());
        CopyText(r.Name, "Grace Hopper");
        r.Description.Set("d\xC3\xA9sc");
        r.NumberOfEmployees = n;
        return r;
    }
    static const char* IdOf(const SFAddrRec& r, size_t) { return r.Id; }
};

struct DateKind {
    using Util = CxSFDateUtil;
    static constexpr const char* stem = "SFDate";
    static constexpr const char* source = "CxSFDate.cpp";
    static constexpr const char* readStart =
        "Start loading SalesForce Calendar from temperary file: ";
    static constexpr const char* count = "There are %d Calendar event records in total.";
    static constexpr const char* readDone =
        "Load SalesForce Calendar information from file successfully.";
    static constexpr const char* writeStart =
        "Start saving SalesForce Calendar information to file: ";
    static constexpr const char* writeDone =
        "Save SalesForce Calendar information to file successfully.";
    static SFDateRec Sample(int n) {
        SFDateRec r;
        r.ChangeAction = n;
        CopyText(r.Id, ("00U" + std::to_string(n)).c_str());
        CopyText(r.Location, "Room");
        r.IsPrivate = true;
        r.StartTime = 41000.5;
        return r;
    }
    static const char* IdOf(const SFDateRec& r, size_t) { return r.Id; }
};

struct TaskKind {
    using Util = CxSFTaskUtil;
    static constexpr const char* stem = "SFTask";
    static constexpr const char* source = "CxSFTask.cpp";
    static constexpr const char* readStart = "Start loading SalesForce Tasks from temperary file: ";
    static constexpr const char* count = "There are %d Task records in total.";
    static constexpr const char* readDone =
        "Load SalesForce Tasks information from file successfully.";
    static constexpr const char* writeStart = "Start saving SalesForce Tasks information to file: ";
    static constexpr const char* writeDone =
        "Save SalesForce Tasks information to file successfully.";
    static SFTaskRec Sample(int n) {
        SFTaskRec r;
        r.ChangeAction = n;
        CopyText(r.Id, ("00T" + std::to_string(n)).c_str());
        CopyText(r.Subject, "Call back");
        r.Flag2 = true;
        return r;
    }
    static const char* IdOf(const SFTaskRec& r, size_t) { return r.Id; }
};

struct NoteKind {
    using Util = CxSFNoteUtil;
    static constexpr const char* stem = "SFNote";
    static constexpr const char* source = "CxSFNote.cpp";
    static constexpr const char* readStart = "Start loading SalesForce Notes from temperary file: ";
    static constexpr const char* count = "There are %d Notes records in total.";
    static constexpr const char* readDone =
        "Load SalesForce Notes information from file successfully.";
    static constexpr const char* writeStart = "Start saving SalesForce Notes information to file: ";
    static constexpr const char* writeDone =
        "Save SalesForce Notes information to file successfully.";
    static SFNoteRec Sample(int n) {
        SFNoteRec r;
        r.ChangeAction = n;
        r.HelperData = 100 + n;
        return r;
    }
    // Notes have no id: they are named by their place in the file.
    static std::string IdOf(const SFNoteRec&, size_t index) { return std::to_string(index + 1); }
};

std::string CountLine(const char* format, int n) {
    char buf[128];
    std::snprintf(buf, sizeof(buf), format, n);
    return buf;
}

template <class K> class ExchangeTest : public ::testing::Test {
protected:
    using Util = typename K::Util;
    using Rec = typename Util::Record;

    ExchangeTest() : util(new Util) { util->SetDataFolder(dir.Folder().c_str()); }

    std::string DataFile() const { return dir.Path(std::string(K::stem) + ".dat"); }

    // The bytes of a data file holding the given records, written by the object.
    std::string FileOf(const std::vector<Rec>& recs) {
        Util writer;
        writer.SetDataFolder(dir.Folder().c_str());
        for (const Rec& r : recs)
            writer.KeepRecord(&r);
        EXPECT_TRUE(writer.WriteDataFile("fixture.dat"));
        return ReadFileBytes(dir.Path("fixture.dat"));
    }

    std::vector<Rec*> Records() {
        std::vector<Rec*> out;
        CxList* list = util->GetRecordList();
        for (void* p = list->GetFirst(); p; p = list->GetNext())
            out.push_back(static_cast<Rec*>(p));
        return out;
    }

    void ExpectEmpty() {
        EXPECT_EQ(util->GetRecordList()->GetCount(), 0u);
        EXPECT_EQ(util->GetCollection()->GetRecordCount(), 0u);
    }

    LogCapture log;
    TempDir dir;
    std::unique_ptr<Util> util;
};

using Kinds = ::testing::Types<AddrKind, DateKind, TaskKind, NoteKind>;
TYPED_TEST_SUITE(ExchangeTest, Kinds);

TYPED_TEST(ExchangeTest, StartsWithTheKindsNamesAndTheBaseDefaults) {
    using K = TypeParam;
    typename K::Util fresh;
    const std::string stem = K::stem;
    EXPECT_EQ(std::string(fresh.GetDataFileName()), stem + ".dat");
    EXPECT_EQ(std::string(fresh.GetErrorFileName()), stem + "Err.dat");
    EXPECT_EQ(std::string(fresh.GetStatusFileName()), stem + "Status.dat");
    EXPECT_EQ(std::string(fresh.GetParamFileName()), stem + "Param.dat");
    char programFolder[260];
    ASSERT_TRUE(GetModuleFolder(nullptr, programFolder, sizeof(programFolder)));
    EXPECT_STREQ(fresh.GetDataFolder(), programFolder);
    EXPECT_TRUE(fresh.IsChanged());
    EXPECT_FALSE(fresh.HasError());
    EXPECT_STREQ(fresh.GetLastError(), "");
    EXPECT_STREQ(fresh.GetLogLocation(), "appdebug.log");
    EXPECT_STREQ(fresh.GetReservedText(), "");
    EXPECT_EQ(fresh.GetLogLevel(), 3);
    EXPECT_FALSE(fresh.IsDebugEnabled());
    EXPECT_EQ(fresh.GetRequest(), 0);
    EXPECT_STREQ(fresh.GetUserName(), "");
    EXPECT_EQ(fresh.GetCollection()->GetRecordCount(), 0u);
}

TYPED_TEST(ExchangeTest, ReadsWhatItWroteAndLinksBothWays) {
    using K = TypeParam;
    const std::string bytes = this->FileOf({K::Sample(1), K::Sample(2), K::Sample(0)});
    WriteFileBytes(this->DataFile(), bytes);

    ASSERT_TRUE(this->util->ReadDataFile(nullptr));
    auto recs = this->Records();
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(this->util->GetCollection()->GetRecordCount(), 3u);
    auto* entry = this->util->GetCollection()->GetFirstRecord();
    for (size_t i = 0; i < recs.size(); ++i, entry = this->util->GetCollection()->GetNextRecord()) {
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(recs[i]->Entry, entry);
        EXPECT_EQ(entry->NativeData, recs[i]);
        EXPECT_EQ(entry->NativeSize, 0u);
        EXPECT_EQ(entry->SourceType, 19);
    }
    EXPECT_EQ(recs[1]->ChangeAction, 2);

    // Written back unchanged, the file is the same.
    ASSERT_TRUE(this->util->WriteDataFile(""));
    EXPECT_EQ(ReadFileBytes(this->DataFile()), bytes);

    const std::string path = this->DataFile();
    const std::string stem = std::string(K::stem) + ".dat";
    const std::vector<std::pair<std::string, bool>> lines = {
        {K::readStart + stem, false},  {CountLine(K::count, 3), false}, {K::readDone, false},
        {K::writeStart + stem, false}, {K::writeDone, false},
    };
    for (const auto& [message, critical] : lines) {
        SCOPED_TRACE(message);
        const std::string line = this->log.Line(message);
        ASSERT_FALSE(line.empty());
        EXPECT_NE(line.find(K::source), std::string::npos);
        EXPECT_NE(line.find(critical ? "[!!!]" : "[   ]"), std::string::npos);
    }
}

TYPED_TEST(ExchangeTest, AnEmptyFileIsFourBytesAndReadsAsNoRecords) {
    ASSERT_TRUE(this->util->WriteDataFile(nullptr));
    EXPECT_EQ(ReadFileBytes(this->DataFile()), Bytes().Count(0).Str());
    EXPECT_TRUE(this->util->ReadDataFile(nullptr));
    this->ExpectEmpty();
}

TYPED_TEST(ExchangeTest, AMissingFileIsAnOpenFailure) {
    EXPECT_FALSE(this->util->ReadDataFile("absent.dat"));
    this->ExpectEmpty();
    const std::string line = this->log.Line("Failed to open file: " + this->dir.Path("absent.dat"));
    ASSERT_FALSE(line.empty());
    EXPECT_NE(line.find("[!!!]"), std::string::npos);

    this->util->SetDataFolder(this->dir.Path("no/such/folder/").c_str());
    EXPECT_FALSE(this->util->WriteDataFile(nullptr));
    EXPECT_TRUE(this->log.Has("Failed to open file: " + this->dir.Path("no/such/folder/") +
                              TypeParam::stem + ".dat"));
}

TYPED_TEST(ExchangeTest, AFileCutAtAnyByteAddsNothing) {
    using K = TypeParam;
    const std::string bytes = this->FileOf({K::Sample(1), K::Sample(2)});
    for (size_t size = 0; size < bytes.size(); ++size) {
        SCOPED_TRACE("size " + std::to_string(size));
        WriteFileBytes(this->DataFile(), bytes.substr(0, size));
        typename K::Util util;
        util.SetDataFolder(this->dir.Folder().c_str());
        this->log.Reset();
        EXPECT_FALSE(util.ReadDataFile(nullptr));
        EXPECT_EQ(util.GetRecordList()->GetCount(), 0u);
        EXPECT_EQ(util.GetCollection()->GetRecordCount(), 0u);
        EXPECT_TRUE(this->log.Has("Data file is truncated: " + this->DataFile()));
        EXPECT_FALSE(this->log.Has(K::readDone));
    }
    WriteFileBytes(this->DataFile(), bytes);
    EXPECT_TRUE(this->util->ReadDataFile(nullptr));
}

TYPED_TEST(ExchangeTest, ACountBeyondTheFileIsRefused) {
    using K = TypeParam;
    std::string bytes = this->FileOf({K::Sample(1)});
    const std::string huge = Bytes().Count(0xFFFFFFFFu).Str();
    bytes.replace(0, 4, huge);
    WriteFileBytes(this->DataFile(), bytes);
    EXPECT_FALSE(this->util->ReadDataFile(nullptr));
    this->ExpectEmpty();
}

TYPED_TEST(ExchangeTest, ADeletionMarkFromTheHelperIsCleared) {
    using K = TypeParam;
    WriteFileBytes(this->DataFile(), this->FileOf({K::Sample(1), K::Sample(3)}));

    // The per-record reader leaves the mark as stored.
    {
        CxFile file;
        ASSERT_TRUE(file.Open(this->DataFile().c_str(), "rb"));
        uint32_t count = 0;
        ASSERT_TRUE(ReadRecordCount(file, count));
        typename TestFixture::Rec first, second;
        ASSERT_TRUE(ReadSFRecord(file, first));
        ASSERT_TRUE(ReadSFRecord(file, second));
        EXPECT_EQ(second.ChangeAction, 3);
    }

    ASSERT_TRUE(this->util->ReadDataFile(nullptr));
    auto recs = this->Records();
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0]->ChangeAction, 1);
    EXPECT_EQ(recs[1]->ChangeAction, 0);
    const std::string id = K::IdOf(*recs[1], 1);
    const std::string line =
        this->log.Line("Record " + id + " arrived marked for deletion; the mark was cleared.");
    ASSERT_FALSE(line.empty());
    EXPECT_NE(line.find("[!!!]"), std::string::npos);
    EXPECT_TRUE(this->log.Has(K::readDone));
}

TYPED_TEST(ExchangeTest, WritingToAFullDiskFails) {
    using K = TypeParam;
    if (!FileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    auto rec = K::Sample(1);
    this->util->KeepRecord(&rec);
    this->util->SetDataFolder("/dev/");
    EXPECT_FALSE(this->util->WriteDataFile("full"));
    EXPECT_TRUE(this->log.Has("Failed to write file: /dev/full"));
    EXPECT_FALSE(this->log.Has(K::writeDone));
    this->util->SetDataFolder(this->dir.Folder().c_str());
}

TYPED_TEST(ExchangeTest, KeepRecordCopiesTheWholeRecord) {
    using K = TypeParam;
    EXPECT_EQ(this->util->KeepRecord(nullptr), nullptr);
    auto rec = K::Sample(7);
    typename TestFixture::Util::CommonRecord entry;
    rec.Entry = &entry;
    rec.WalkEntry = &entry;
    rec.Flags = mkDuplicate | mkDelete;
    auto* kept = this->util->KeepRecord(&rec);
    ASSERT_NE(kept, nullptr);
    EXPECT_NE(kept, &rec);
    EXPECT_EQ(kept->Entry, &entry);
    EXPECT_EQ(kept->WalkEntry, &entry);
    EXPECT_EQ(kept->Flags, mkDuplicate | mkDelete);
    EXPECT_EQ(kept->ChangeAction, 7);
    EXPECT_EQ(this->Records(), (std::vector<typename TestFixture::Rec*>{kept}));
    kept->Entry = kept->WalkEntry = nullptr; // the entry is not the collection's
}

TYPED_TEST(ExchangeTest, DropRecordRemovesTheRecordAndItsEntry) {
    using K = TypeParam;
    WriteFileBytes(this->DataFile(), this->FileOf({K::Sample(1), K::Sample(2), K::Sample(4)}));
    ASSERT_TRUE(this->util->ReadDataFile(nullptr));
    auto recs = this->Records();
    auto* mgr = this->util->GetCollection();
    EXPECT_TRUE(this->util->DropRecord(recs[1]));
    EXPECT_EQ(this->util->GetRecordList()->GetCount(), 2u);
    ASSERT_EQ(mgr->GetRecordCount(), 2u);
    EXPECT_EQ(mgr->GetFirstRecord()->NativeData, recs[0]);
    EXPECT_EQ(mgr->GetNextRecord()->NativeData, recs[2]);

    // A record the object does not hold is not its to free.
    auto stranger = std::make_unique<typename TestFixture::Rec>(K::Sample(9));
    EXPECT_FALSE(this->util->DropRecord(stranger.get()));
    EXPECT_FALSE(this->util->DropRecord(nullptr));
    EXPECT_EQ(this->util->GetRecordList()->GetCount(), 2u);
}

TYPED_TEST(ExchangeTest, ClearEmptiesTheRecordsButNotTheMarks) {
    using K = TypeParam;
    WriteFileBytes(this->DataFile(), this->FileOf({K::Sample(1), K::Sample(2)}));
    ASSERT_TRUE(this->util->ReadDataFile(nullptr));
    EXPECT_TRUE(this->util->Clear());
    this->ExpectEmpty();
    EXPECT_TRUE(this->util->IsChanged());
    // Reading again after a clear works on the same objects.
    ASSERT_TRUE(this->util->ReadDataFile(nullptr));
    EXPECT_EQ(this->util->GetCollection()->GetRecordCount(), 2u);
}

TYPED_TEST(ExchangeTest, DestructionDeletesTheProgressAndErrorFiles) {
    using K = TypeParam;
    const std::string status = this->dir.Path(std::string(K::stem) + "Status.dat");
    const std::string error = this->dir.Path(std::string(K::stem) + "Err.dat");
    const std::string state = this->dir.Path(std::string(K::stem) + ".ini");
    for (const std::string& path : {status, error, state, this->DataFile()})
        WriteFileBytes(path, "x");
    // The kind's Clear leaves the files alone.
    EXPECT_TRUE(this->util->Clear());
    EXPECT_TRUE(FileExists(status));
    // The base part's does not.
    EXPECT_TRUE(this->util->CxSFBaseUtil::Clear());
    EXPECT_FALSE(FileExists(status));
    EXPECT_FALSE(FileExists(error));

    for (const std::string& path : {status, error})
        WriteFileBytes(path, "x");
    this->util.reset();
    EXPECT_FALSE(FileExists(status));
    EXPECT_FALSE(FileExists(error));
    EXPECT_TRUE(FileExists(state));
    EXPECT_TRUE(FileExists(this->DataFile()));
}

TEST(NoteFile, ThreeNotesAre28Bytes) {
    LogCapture log;
    TempDir dir;
    CxSFNoteUtil util;
    util.SetDataFolder(dir.Folder().c_str());
    for (int i = 0; i < 3; ++i) {
        SFNoteRec n;
        n.ChangeAction = i;
        n.HelperData = 10 * i;
        util.KeepRecord(&n);
    }
    ASSERT_TRUE(util.WriteDataFile(nullptr));
    const std::string expected = Bytes().Count(3).Int(0).Int(0).Int(1).Int(10).Int(2).Int(20).Str();
    EXPECT_EQ(ReadFileBytes(dir.Path("SFNote.dat")), expected);
    EXPECT_EQ(expected.size(), 28u);
}

// Texts are cut to 255 characters at a character boundary; paths and file
// names are never cut (that would name another file): one that does not fit
// empties the member.
TEST(BaseSettings, SettersEmptyOnNullOrEmptyAndCutTextsAt255) {
    CxSFNoteUtil util;
    using Setter = void (CxSFBaseUtil::*)(const char*);
    using Getter = const char* (CxSFBaseUtil::*)() const;
    const struct {
        Setter set;
        Getter get;
        bool path;
    } members[] = {
        {&CxSFBaseUtil::SetUserName, &CxSFBaseUtil::GetUserName, false},
        {&CxSFBaseUtil::SetPassword, &CxSFBaseUtil::GetPassword, false},
        {&CxSFBaseUtil::SetToken, &CxSFBaseUtil::GetToken, false},
        {&CxSFBaseUtil::SetDataFolder, &CxSFBaseUtil::GetDataFolder, true},
        {&CxSFBaseUtil::SetLogLocation, &CxSFBaseUtil::GetLogLocation, true},
        {&CxSFBaseUtil::SetDataFileName, &CxSFBaseUtil::GetDataFileName, true},
        {&CxSFBaseUtil::SetParamFileName, &CxSFBaseUtil::GetParamFileName, true},
        {&CxSFBaseUtil::SetErrorFileName, &CxSFBaseUtil::GetErrorFileName, true},
        {&CxSFBaseUtil::SetStatusFileName, &CxSFBaseUtil::GetStatusFileName, true},
    };
    // 254 bytes and a two-byte character: the character does not fit whole.
    const std::string longText = std::string(254, 'a') + "\xC3\xA9" + "tail";
    for (const auto& m : members) {
        (util.*m.set)("value");
        EXPECT_STREQ((util.*m.get)(), "value");
        (util.*m.set)(longText.c_str());
        EXPECT_EQ(std::string((util.*m.get)()), m.path ? "" : std::string(254, 'a'));
        (util.*m.set)(std::string(255, 'b').c_str());
        EXPECT_EQ(std::string((util.*m.get)()), std::string(255, 'b'));
        (util.*m.set)("");
        EXPECT_STREQ((util.*m.get)(), "");
        (util.*m.set)("again");
        (util.*m.set)(nullptr);
        EXPECT_STREQ((util.*m.get)(), "");
    }
    util.SetLogLevel(1);
    util.SetDebugEnabled(true);
    EXPECT_EQ(util.GetLogLevel(), 1);
    EXPECT_TRUE(util.IsDebugEnabled());
}

TEST(BaseSettings, DataPathJoinsWithOneSeparator) {
    CxSFTaskUtil util;
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"/data/", "/data/SFTask.dat"},
        {"/data", "/data/SFTask.dat"},
        {"", "SFTask.dat"},
    };
    for (const auto& [folder, expected] : cases) {
        util.SetDataFolder(folder);
        EXPECT_EQ(util.DataPath("SFTask.dat"), expected) << folder;
    }
    util.SetDataFolder("/data/");
    EXPECT_EQ(util.DataPath("/SFTask.dat"), "/data/SFTask.dat");
}

TEST(BaseSettings, VirtualDefaultsOfTheBase) {
    // A kind that overrides nothing shows the base behaviour.
    struct Bare : CxSFBaseUtil {};
    Bare bare;
    EXPECT_TRUE(bare.Load());
    EXPECT_FALSE(bare.Submit());
    EXPECT_TRUE(bare.Clear());
}

TEST(ContactSources, AreOnAtConstructionAndStored) {
    CxSFAddrUtil util;
    EXPECT_TRUE(util.GetAddrAccount());
    EXPECT_TRUE(util.GetAddrContact());
    EXPECT_TRUE(util.GetAddrLead());
    EXPECT_EQ(util.GetAddrOption(), 2);
    util.SetAddrAccount(false);
    util.SetAddrLead(false);
    EXPECT_FALSE(util.GetAddrAccount());
    EXPECT_TRUE(util.GetAddrContact());
    EXPECT_FALSE(util.GetAddrLead());
    EXPECT_EQ(util.GetAddrMgr(), util.GetCollection());
}

TEST(ToCommonContact, CopiesEachFieldCutToTheCommonCapacity) {
    SFAddrRec rec;
    rec.Description.Set(std::string(32767, 'n').c_str());
    CopyText(rec.Name, std::string(63, 'N').c_str());
    // 30 bytes and a two-byte character: 31 would cut it.
    CopyText(rec.FirstName, (std::string(30, 'f') + "\xC3\xA9").c_str());
    CopyText(rec.Email, std::string(63, 'e').c_str());
    CopyText(rec.HasPhone, std::string(31, '1').c_str());
    CopyText(rec.MailingStreet, std::string(255, 's').c_str());
    CopyText(rec.MailingPostalCode, std::string(31, 'p').c_str());
    CopyText(rec.OtherCity, "Otherton");
    CopyText(rec.CustomValue[9], std::string(63, 'c').c_str());
    CopyText(rec.CustomLabel[0], "label");
    CopyText(rec.LeadSource, "Web");
    rec.BirthDate = 20000.0;
    rec.CreationTime = 40000.0;
    rec.LastModificationTime = 41000.0;

    CommAddrRec common;
    ASSERT_TRUE(CxSFAddrUtil::ToCommonContact(&rec, &common));
    EXPECT_EQ(common.Note.size(), 8191u);
    EXPECT_EQ(rec.Description.size(), 32767u);
    const std::vector<std::pair<std::string, std::string>> texts = {
        {common.FullName, std::string(31, 'N')},
        {common.FirstName, std::string(30, 'f')},
        {common.Email, std::string(63, 'e')},
        {common.HomePhone, std::string(23, '1')},
        {common.WorkStreet, std::string(255, 's')},
        {common.WorkPostalCode, std::string(15, 'p')},
        {common.OtherCity, "Otherton"},
        {common.Custom[9], std::string(63, 'c')},
        {common.Custom[0], ""},
        {common.LeadSource, "Web"},
    };
    for (const auto& [actual, expected] : texts)
        EXPECT_EQ(actual, expected);
    EXPECT_EQ(common.Birthday, 20000.0);
    EXPECT_EQ(common.CreationTime, 40000.0);
    EXPECT_EQ(common.LastModificationTime, 41000.0);
    EXPECT_EQ(common.SourceType, 19);
    EXPECT_EQ(common.NativeData, nullptr);
    EXPECT_EQ(common.NativeSize, 0u);

    EXPECT_FALSE(CxSFAddrUtil::ToCommonContact(nullptr, &common));
    EXPECT_FALSE(CxSFAddrUtil::ToCommonContact(&rec, nullptr));
}

TEST(ContactFile, TheCommonRecordIsFilledAtLoad) {
    LogCapture log;
    TempDir dir;
    CxSFAddrUtil util;
    util.SetDataFolder(dir.Folder().c_str());
    SFAddrRec rec;
    CopyText(rec.Name, "Grace Hopper");
    CopyText(rec.MailingCity, "Arlington");
    util.KeepRecord(&rec);
    ASSERT_TRUE(util.WriteDataFile(nullptr));
    util.Clear();
    ASSERT_TRUE(util.ReadDataFile(nullptr));
    CommAddrRec* entry = util.GetAddrMgr()->GetFirstRecord();
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->FullName, "Grace Hopper");
    EXPECT_STREQ(entry->WorkCity, "Arlington");
}

} // namespace

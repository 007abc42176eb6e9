#include "SFRecords.h"

#include "CxFile.h"
#include "RecordBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using testsupport::Bytes;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

// Reads one record of type R from the given bytes; ok tells whether the
// reader accepted the record as whole.
template <class R> R ReadOne(const std::string& bytes, bool& ok) {
    TempDir dir;
    WriteFileBytes(dir.Path("rec.dat"), bytes);
    CxFile file;
    EXPECT_TRUE(file.Open(dir.Path("rec.dat").c_str(), "rb"));
    R rec;
    ok = ReadSFRecord(file, rec);
    return rec;
}

template <class R> std::string WriteOne(const R& rec) {
    TempDir dir;
    CxFile file;
    EXPECT_TRUE(file.Open(dir.Path("rec.dat").c_str(), "wb"));
    EXPECT_TRUE(WriteSFRecord(file, rec));
    file.Close();
    EXPECT_FALSE(file.HasFailed());
    return ReadFileBytes(dir.Path("rec.dat"));
}

// A contact whose every text holds its own member name, so that a value read
// into the wrong member shows. The values follow the file order of a contact.
struct ContactFixture {
    Bytes bytes;
    ContactFixture() {
        auto t = [&](const char* name) { bytes.Text(name); };
        bytes.Int(1).Int(2).Int(3);
        t("Id");
        t("AccountId");
        t("AssistantName");
        t("AssistantPhone");
        bytes.Date(5.5);
        t("Department");
        t("Description");
        bytes.Flag(true);
        t("Email");
        t("Fax");
        t("FirstName");
        bytes.Flag(false).Flag(true);
        t("HasPhone");
        bytes.Flag(true).Flag(false);
        bytes.Date(17.0).Date(18.0).Date(19.0);
        for (const char* name :
             {"LastName", "LeadSource", "MailingCity", "MailingCountry", "MailingPostalCode",
              "MailingState", "MailingStreet", "MobilePhone", "Name", "OtherCity", "OtherCountry",
              "OtherPhone", "OtherPostalCode", "OtherState", "OtherStreet", "OwnerId", "Phone",
              "Salutation", "Title"})
            t(name);
        bytes.Date(39.25);
        t("Industry");
        bytes.Int(41);
        for (const char* name :
             {"Rating", "BillingStreet", "BillingCity", "BillingState", "BillingPostalCode",
              "BillingCountry", "ShippingStreet", "ShippingCity", "ShippingState",
              "ShippingPostalCode", "ShippingCountry"})
            t(name);
        for (int i = 1; i <= 10; ++i)
            t(("CV" + std::to_string(i)).c_str());
        for (int i = 1; i <= 10; ++i)
            t(("CL" + std::to_string(i)).c_str());
        bytes.Date(40000.5).Date(41000.75);
    }
};

TEST(ContactRecord, EveryMemberIsReadFromItsPlaceInTheFile) {
    ContactFixture fx;
    bool ok = false;
    SFAddrRec r = ReadOne<SFAddrRec>(fx.bytes.Str(), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(r.ChangeAction, 1);
    EXPECT_EQ(r.HelperData, 2);
    EXPECT_EQ(r.ObjectKind, 3);
    EXPECT_EQ(r.BirthDate, 5.5);
    EXPECT_TRUE(r.DoNotCall);
    EXPECT_FALSE(r.EmailOptOut);
    EXPECT_TRUE(r.FaxOptOut);
    EXPECT_TRUE(r.IsDeleted);
    EXPECT_FALSE(r.IsPersonAccount);
    EXPECT_EQ(r.LastActivityDate, 17.0);
    EXPECT_EQ(r.LastStayInTouchRequestDate, 18.0);
    EXPECT_EQ(r.LastStayInTouchUpdateDate, 19.0);
    EXPECT_EQ(r.AnnualRevenue, 39.25);
    EXPECT_EQ(r.NumberOfEmployees, 41);
    EXPECT_EQ(r.CreationTime, 40000.5);
    EXPECT_EQ(r.LastModificationTime, 41000.75);
    EXPECT_STREQ(r.Description.c_str(), "Description");

    const std::vector<std::pair<const char*, const char*>> texts = {
        {"Id", r.Id},
        {"AccountId", r.AccountId},
        {"AssistantName", r.AssistantName},
        {"AssistantPhone", r.AssistantPhone},
        {"Department", r.Department},
        {"Email", r.Email},
        {"Fax", r.Fax},
        {"FirstName", r.FirstName},
        {"HasPhone", r.HasPhone},
        {"LastName", r.LastName},
        {"LeadSource", r.LeadSource},
        {"MailingCity", r.MailingCity},
        {"MailingCountry", r.MailingCountry},
        {"MailingPostalCode", r.MailingPostalCode},
        {"MailingState", r.MailingState},
        {"MailingStreet", r.MailingStreet},
        {"MobilePhone", r.MobilePhone},
        {"Name", r.Name},
        {"OtherCity", r.OtherCity},
        {"OtherCountry", r.OtherCountry},
        {"OtherPhone", r.OtherPhone},
        {"OtherPostalCode", r.OtherPostalCode},
        {"OtherState", r.OtherState},
        {"OtherStreet", r.OtherStreet},
        {"OwnerId", r.OwnerId},
        {"Phone", r.Phone},
        {"Salutation", r.Salutation},
        {"Title", r.Title},
        {"Industry", r.Industry},
        {"Rating", r.Rating},
        {"BillingStreet", r.BillingStreet},
        {"BillingCity", r.BillingCity},
        {"BillingState", r.BillingState},
        {"BillingPostalCode", r.BillingPostalCode},
        {"BillingCountry", r.BillingCountry},
        {"ShippingStreet", r.ShippingStreet},
        {"ShippingCity", r.ShippingCity},
        {"ShippingState", r.ShippingState},
        {"ShippingPostalCode", r.ShippingPostalCode},
        {"ShippingCountry", r.ShippingCountry},
        {"CV1", r.CustomValue[0]},
        {"CV10", r.CustomValue[9]},
        {"CL1", r.CustomLabel[0]},
        {"CL10", r.CustomLabel[9]},
    };
    for (const auto& [expected, actual] : texts)
        EXPECT_STREQ(actual, expected);
    EXPECT_EQ(r.Entry, nullptr);
    EXPECT_EQ(r.Flags, 0u);
    EXPECT_EQ(r.WalkEntry, nullptr);
}

TEST(ContactRecord, WritingWhatWasReadReproducesTheBytes) {
    ContactFixture fx;
    bool ok = false;
    SFAddrRec r = ReadOne<SFAddrRec>(fx.bytes.Str(), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(WriteOne(r), fx.bytes.Str());
}

// An event with the eight flags set to a pattern; the fifth slot carries junk in
// its trailing bytes, which must neither set nor disturb anything else.
Bytes EventBytes(bool junkSlot) {
    Bytes b;
    b.Int(0).Int(7).Text("00U000000000001").Text("001000000000002");
    b.Date(41000.0).Date(41000.5).Text("notes").Int(90).Date(41000.6);
    b.Flag(true).Flag(false).Flag(true).Flag(true);
    if (junkSlot)
        b.Slot(1, 0xFF, 0xEE, 0xDD);
    else
        b.Flag(true);
    b.Flag(false).Flag(false).Flag(true);
    b.Text("Room 4").Text("005OWNER").Text("");
    b.Int(11).Int(12).Date(41100.0).Int(13).Int(14).Int(15).Date(41001.0);
    b.Text("GMT").Int(16).Date(40999.0).Text("Busy").Text("Meeting");
    b.Date(41000.25).Date(40000.0).Date(40001.0);
    return b;
}

TEST(EventRecord, FlagsFollowEachOtherAndLocationIsReadAfterThem) {
    bool ok = false;
    SFDateRec r = ReadOne<SFDateRec>(EventBytes(true).Str(), ok);
    ASSERT_TRUE(ok);
    const bool flags[8] = {
        r.AllDayEvent, r.IsChild,      r.IsDeleted,     r.IsGroupEvent,
        r.IsPrivate,   r.IsRecurrence, r.IsReminderSet, r.IsVisibleInSelfService};
    const bool expected[8] = {true, false, true, true, true, false, false, true};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(flags[i], expected[i]) << "flag " << i;
    EXPECT_STREQ(r.Location, "Room 4");
    EXPECT_STREQ(r.OwnerId, "005OWNER");
    EXPECT_STREQ(r.RecurrenceActivityId, "");
    EXPECT_EQ(r.RecurrenceDayOfMonth, 11);
    EXPECT_EQ(r.RecurrenceType, 16);
    EXPECT_STREQ(r.ShowAs, "Busy");
    EXPECT_STREQ(r.Subject, "Meeting");
    EXPECT_EQ(r.StartTime, 41000.25);
    EXPECT_EQ(r.LastModificationTime, 40001.0);
}

TEST(EventRecord, RewrittenFlagSlotsCarryZeroTrailingBytes) {
    bool ok = false;
    SFDateRec r = ReadOne<SFDateRec>(EventBytes(true).Str(), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(WriteOne(r), EventBytes(false).Str());
}

TEST(TaskRecord, ReadsAndWritesInFileOrder) {
    Bytes b;
    b.Int(5).Int(6).Text("00T1").Text("0011").Date(41000.0).Text("disp").Int(30);
    b.Text("obj").Text("Call").Text("desc").Flag(true).Flag(false).Flag(false).Flag(true);
    b.Text("005O").Text("High").Date(41002.0).Text("Open").Text("Subj").Text("what").Text("who");
    b.Date(40000.0).Date(40001.0);
    bool ok = false;
    SFTaskRec r = ReadOne<SFTaskRec>(b.Str(), ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(r.CallDuration, 30);
    EXPECT_STREQ(r.CallType, "Call");
    EXPECT_STREQ(r.Description.c_str(), "desc");
    EXPECT_TRUE(r.Flag1);
    EXPECT_TRUE(r.Flag4);
    EXPECT_STREQ(r.Priority, "High");
    EXPECT_STREQ(r.TaskStatus, "Open");
    EXPECT_STREQ(r.WhoId, "who");
    EXPECT_EQ(r.LastModificationTime, 40001.0);
    EXPECT_EQ(WriteOne(r), b.Str());
}

TEST(NoteRecord, IsItsTwoIntegers) {
    SFNoteRec n;
    n.ChangeAction = 3;
    n.HelperData = -2;
    n.Flags = mkDelete;
    EXPECT_EQ(WriteOne(n), Bytes().Int(3).Int(-2).Str());
    bool ok = false;
    // The per-record reader passes a deletion mark through: the helper relies on it.
    SFNoteRec back = ReadOne<SFNoteRec>(Bytes().Int(3).Int(-2).Str(), ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(back.ChangeAction, 3);
    EXPECT_EQ(back.HelperData, -2);
    EXPECT_EQ(back.Flags, 0u);
}

// Texts of a task: Id (capacity 32) is followed by AccountId, Description
// (capacity 8192) by the four flags and OwnerId.
struct TextCase {
    const char* what;
    int32_t storedLength; // negative: a lying length field; else the length of stored
    std::string stored;
    std::string expected;

    int32_t Length() const {
        return storedLength < 0 ? storedLength : static_cast<int32_t>(stored.size());
    }
};

std::string Repeat(char c, size_t n) {
    return std::string(n, c);
}

TEST(RecordTexts, StoredTextsAreKeptWithinTheMemberAndTheNextMemberReadsRight) {
    const std::string euro = "\xE2\x82\xAC"; // three bytes
    const std::vector<TextCase> cases = {
        {"empty text", 0, "", ""},
        {"negative length", -5, "", ""},
        {"exactly capacity - 1", 31, Repeat('a', 31), Repeat('a', 31)},
        {"one over", 32, Repeat('b', 32), Repeat('b', 31)},
        {"far over", 300, Repeat('c', 300), Repeat('c', 31)},
        {"cut inside a character", 33, Repeat('d', 30) + euro, Repeat('d', 30)},
        {"character ends at the cut", 34, Repeat('e', 28) + euro + "zz", Repeat('e', 28) + euro},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b;
        b.Int(0).Int(0).TextAs(c.Length(), c.stored).Text("NEXT").Date(1.5);
        bool ok = false;
        SFTaskRec r = ReadOne<SFTaskRec>(b.Str(), ok);
        // The file ends after DueDate: the record as a whole is short.
        EXPECT_FALSE(ok);
        EXPECT_EQ(std::string(r.Id), c.expected);
        EXPECT_STREQ(r.AccountId, "NEXT");
        EXPECT_EQ(r.DueDate, 1.5);
    }
}

TEST(RecordTexts, LongDescriptionsAreKeptWithinTheirCapacity) {
    const std::string euro = "\xE2\x82\xAC";
    const std::vector<TextCase> cases = {
        {"empty", 0, "", ""},
        {"negative length", -1, "", ""},
        {"exactly capacity - 1", 8191, Repeat('a', 8191), Repeat('a', 8191)},
        {"over", 9000, Repeat('b', 9000), Repeat('b', 8191)},
        {"cut inside a character", 8192, Repeat('c', 8189) + euro, Repeat('c', 8189)},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b;
        b.Int(0).Int(0).Text("").Text("").Date(0).Text("").Int(0).Text("").Text("");
        b.TextAs(c.Length(), c.stored).Flag(true).Flag(true).Flag(false).Flag(true);
        b.Text("OWNER");
        bool ok = false;
        SFTaskRec r = ReadOne<SFTaskRec>(b.Str(), ok);
        EXPECT_EQ(std::string(r.Description.c_str()), c.expected);
        EXPECT_EQ(r.Description.size(), c.expected.size());
        EXPECT_TRUE(r.Flag1 && r.Flag2 && !r.Flag3 && r.Flag4);
        EXPECT_STREQ(r.OwnerId, "OWNER");
    }
}

TEST(RecordTexts, ContactDescriptionKeeps32767Bytes) {
    SFAddrRec r;
    r.Description.Set(Repeat('x', 40000).c_str());
    EXPECT_EQ(r.Description.size(), 32767u);
    // Written and read back unchanged.
    std::string bytes = WriteOne(r);
    bool ok = false;
    SFAddrRec back = ReadOne<SFAddrRec>(bytes, ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(back.Description, r.Description);
}

TEST(RecordTexts, ACharArrayWithoutTerminatorIsWrittenWithinTheArray) {
    SFTaskRec r;
    std::memset(r.Id, 'q', sizeof(r.Id)); // no terminator
    std::string bytes = WriteOne(r);
    Bytes expected;
    expected.Int(0).Int(0).Text(Repeat('q', 32));
    EXPECT_EQ(bytes.substr(0, expected.Size()), expected.Str());
}

TEST(RecordTexts, AnEmptyTextIsWrittenAsLengthZeroAlone) {
    SFTaskRec r;
    CopyText(r.AccountId, "A");
    std::string bytes = WriteOne(r);
    EXPECT_EQ(bytes.substr(0, 17), Bytes().Int(0).Int(0).Int(0).Text("A").Str());
}

TEST(RecordFile, ReadersReportAFileThatEndsInsideTheRecord) {
    Bytes b;
    b.Int(0).Int(0).Text("00T1").TextAs(10, "short");
    bool ok = true;
    SFTaskRec r = ReadOne<SFTaskRec>(b.Str(), ok);
    EXPECT_FALSE(ok);
    EXPECT_STREQ(r.Id, "00T1");
    EXPECT_EQ(r.DueDate, 0.0);

    ok = true;
    ReadOne<SFNoteRec>(Bytes().Int(1).Str(), ok);
    EXPECT_FALSE(ok);
}

TEST(RecordFile, ClosedFileIsRefused) {
    CxFile file;
    SFNoteRec n;
    EXPECT_FALSE(ReadNoteRecord(file, n));
    EXPECT_FALSE(WriteNoteRecord(file, n));
}

} // namespace

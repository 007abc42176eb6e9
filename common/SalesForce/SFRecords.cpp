#include "SFRecords.h"

#include "CxFile.h"

#include <cstring>

namespace {

// Reads the values of a record one after the other. Once the file has ended
// the remaining values are not attempted and keep their zero.
class FieldReader {
public:
    explicit FieldReader(CxFile& file) : m_file(file) {}

    void operator()(int32_t& value) {
        if (Ok())
            m_file.ReadInt(&value);
    }
    void operator()(double& value) {
        if (Ok())
            m_file.ReadDouble(&value);
    }
    void operator()(bool& value) {
        if (Ok())
            m_file.ReadBool(&value);
    }
    template <size_t N> void operator()(char (&text)[N]) {
        if (!Ok())
            return;
        int32_t stored = 0;
        m_file.ReadString(text, N, &stored);
        // A stored length of 0 or less (or none at all) is an empty text.
        if (stored <= 0)
            text[0] = '\0';
    }
    template <size_t N> void operator()(CxBoundedText<N>& text) {
        if (!Ok())
            return;
        char buf[N];
        buf[0] = '\0';
        int32_t stored = 0;
        m_file.ReadString(buf, N, &stored);
        if (stored <= 0)
            buf[0] = '\0';
        text.Set(buf);
    }
    bool Ok() const { return m_file.IsOpen() && !m_file.HasFailed(); }

private:
    CxFile& m_file;
};

class FieldWriter {
public:
    explicit FieldWriter(CxFile& file) : m_file(file) {}

    void operator()(int32_t value) {
        if (Ok())
            m_file.WriteInt(value);
    }
    void operator()(double value) {
        if (Ok())
            m_file.WriteDouble(value);
    }
    void operator()(bool value) {
        if (Ok())
            m_file.WriteBool(value);
    }
    template <size_t N> void operator()(const char (&text)[N]) {
        // Bounded by the array, even for an array that lost its terminator.
        WriteText(text, strnlen(text, N));
    }
    template <size_t N> void operator()(const CxBoundedText<N>& text) {
        WriteText(text.c_str(), text.size());
    }
    bool Ok() const { return m_file.IsOpen() && !m_file.HasFailed(); }

private:
    void WriteText(const char* text, size_t len) {
        if (Ok() && m_file.WriteInt(static_cast<int32_t>(len)))
            m_file.WriteBytes(text, len);
    }

    CxFile& m_file;
};

// The file order of each record, shared by reading (R non-const) and writing
// (R const), so the two can never disagree.
template <class R, class V> void VisitAddr(R& r, V& v) {
    v(r.ChangeAction);
    v(r.HelperData);
    v(r.ObjectKind);
    v(r.Id);
    v(r.AccountId);
    v(r.AssistantName);
    v(r.AssistantPhone);
    v(r.BirthDate);
    v(r.Department);
    v(r.Description);
    v(r.DoNotCall);
    v(r.Email);
    v(r.Fax);
    v(r.FirstName);
    v(r.EmailOptOut);
    v(r.FaxOptOut);
    v(r.HasPhone);
    v(r.IsDeleted);
    v(r.IsPersonAccount);
    v(r.LastActivityDate);
    v(r.LastStayInTouchRequestDate);
    v(r.LastStayInTouchUpdateDate);
    v(r.LastName);
    v(r.LeadSource);
    v(r.MailingCity);
    v(r.MailingCountry);
    v(r.MailingPostalCode);
    v(r.MailingState);
    v(r.MailingStreet);
    v(r.MobilePhone);
    v(r.Name);
    v(r.OtherCity);
    v(r.OtherCountry);
    v(r.OtherPhone);
    v(r.OtherPostalCode);
    v(r.OtherState);
    v(r.OtherStreet);
    v(r.OwnerId);
    v(r.Phone);
    v(r.Salutation);
    v(r.Title);
    v(r.AnnualRevenue);
    v(r.Industry);
    v(r.NumberOfEmployees);
    v(r.Rating);
    v(r.BillingStreet);
    v(r.BillingCity);
    v(r.BillingState);
    v(r.BillingPostalCode);
    v(r.BillingCountry);
    v(r.ShippingStreet);
    v(r.ShippingCity);
    v(r.ShippingState);
    v(r.ShippingPostalCode);
    v(r.ShippingCountry);
    for (auto& text : r.CustomValue)
        v(text);
    for (auto& text : r.CustomLabel)
        v(text);
    v(r.CreationTime);
    v(r.LastModificationTime);
}

template <class R, class V> void VisitDate(R& r, V& v) {
    v(r.ChangeAction);
    v(r.HelperData);
    v(r.Id);
    v(r.AccountId);
    v(r.ActivityDate);
    v(r.ActivityDateTime);
    v(r.Description);
    v(r.DurationInMinutes);
    v(r.EndTime);
    v(r.AllDayEvent);
    v(r.IsChild);
    v(r.IsDeleted);
    v(r.IsGroupEvent);
    v(r.IsPrivate);
    v(r.IsRecurrence);
    v(r.IsReminderSet);
    v(r.IsVisibleInSelfService);
    v(r.Location);
    v(r.OwnerId);
    v(r.RecurrenceActivityId);
    v(r.RecurrenceDayOfMonth);
    v(r.RecurrenceDayOfWeekMask);
    v(r.RecurrenceEndDate);
    v(r.RecurrenceInstance);
    v(r.RecurrenceInterval);
    v(r.RecurrenceMonthOfYear);
    v(r.RecurrenceStartTime);
    v(r.RecurrenceTimeZone);
    v(r.RecurrenceType);
    v(r.ReminderTime);
    v(r.ShowAs);
    v(r.Subject);
    v(r.StartTime);
    v(r.CreationTime);
    v(r.LastModificationTime);
}

template <class R, class V> void VisitTask(R& r, V& v) {
    v(r.ChangeAction);
    v(r.HelperData);
    v(r.Id);
    v(r.AccountId);
    v(r.DueDate);
    v(r.CallDisposition);
    v(r.CallDuration);
    v(r.CallObject);
    v(r.CallType);
    v(r.Description);
    v(r.Flag1);
    v(r.Flag2);
    v(r.Flag3);
    v(r.Flag4);
    v(r.OwnerId);
    v(r.Priority);
    v(r.ReminderTime);
    v(r.TaskStatus);
    v(r.Subject);
    v(r.WhatId);
    v(r.WhoId);
    v(r.CreationTime);
    v(r.LastModificationTime);
}

template <class R, class V> void VisitNote(R& r, V& v) {
    v(r.ChangeAction);
    v(r.HelperData);
}

} // namespace

bool ReadAddrRecord(CxFile& file, SFAddrRec& rec) {
    FieldReader reader(file);
    VisitAddr(rec, reader);
    return reader.Ok();
}

bool WriteAddrRecord(CxFile& file, const SFAddrRec& rec) {
    FieldWriter writer(file);
    VisitAddr(rec, writer);
    return writer.Ok();
}

bool ReadDateRecord(CxFile& file, SFDateRec& rec) {
    FieldReader reader(file);
    VisitDate(rec, reader);
    return reader.Ok();
}

bool WriteDateRecord(CxFile& file, const SFDateRec& rec) {
    FieldWriter writer(file);
    VisitDate(rec, writer);
    return writer.Ok();
}

bool ReadTaskRecord(CxFile& file, SFTaskRec& rec) {
    FieldReader reader(file);
    VisitTask(rec, reader);
    return reader.Ok();
}

bool WriteTaskRecord(CxFile& file, const SFTaskRec& rec) {
    FieldWriter writer(file);
    VisitTask(rec, writer);
    return writer.Ok();
}

bool ReadNoteRecord(CxFile& file, SFNoteRec& rec) {
    FieldReader reader(file);
    VisitNote(rec, reader);
    return reader.Ok();
}

bool WriteNoteRecord(CxFile& file, const SFNoteRec& rec) {
    FieldWriter writer(file);
    VisitNote(rec, writer);
    return writer.Ok();
}

bool ReadRecordCount(CxFile& file, uint32_t& count) {
    uint32_t value = 0;
    if (!file.ReadBytes(&value, sizeof(value)))
        return false;
    count = value;
    return true;
}

bool WriteRecordCount(CxFile& file, uint32_t count) {
    return file.WriteBytes(&count, sizeof(count));
}

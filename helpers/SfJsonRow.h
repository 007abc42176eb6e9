// Records of the CRM's REST API read the way the record mapping reads the
// local org's rows, and a row that only notes which fields a mapping reads.
#pragma once

#include "CxText.h"

#include <cstddef>
#include <cstdint>
#include <simdjson.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text of an object's key, or empty when it is missing or not a text.
inline std::string_view JsonText(simdjson::dom::element object, const char* key) {
    std::string_view text;
    return object[key].get_string().get(text) == simdjson::SUCCESS ? text : std::string_view();
}
// The flag of an object's key; false when it is missing or not a flag.
inline bool JsonBool(simdjson::dom::element object, const char* key) {
    bool value = false;
    return object[key].get_bool().get(value) == simdjson::SUCCESS && value;
}

// One JSON record of a query page. The API returns the fields in the order of
// the query, so the k-th request of a record remembers where its field stood in
// the first record; a field the record lacks, or null, reads as empty.
class SfJsonRow {
public:
    // Takes the record's fields; seq is what "Seq" reads (the record's number).
    void Next(simdjson::dom::object record, int64_t seq);

    bool IsNull(const char* column);
    // "" for null or a value that is not a text.
    const char* Text(const char* column);
    template <size_t N> void Text(const char* column, char (&dst)[N]) {
        CopyText(dst, N, Text(column));
    }
    int64_t Int(const char* column);
    int32_t Int32(const char* column);
    double Real(const char* column);
    bool Bool(const char* column);
    // An ISO-8601 text as an automation date in UTC; 0 for null or malformed.
    double Date(const char* column);
    // The same in the local time zone (a date without a time stays that date).
    double LocalDate(const char* column);

private:
    // The field's value, or null when the record has none of that name.
    const simdjson::dom::element* Find(const char* column);

    std::vector<std::pair<std::string_view, simdjson::dom::element>> m_fields;
    std::vector<int> m_index;
    size_t m_nRequest = 0;
    int64_t m_nSeq = 0;
};

// Reads nothing: every value is empty. Collects the names of the fields a
// mapping asks for, in order and once each, so the query asks for exactly them.
class FieldListRow {
public:
    const std::vector<std::string>& Fields() const { return m_fields; }

    bool IsNull(const char* column) { return Note(column), true; }
    const char* Text(const char* column) { return Note(column), ""; }
    template <size_t N> void Text(const char* column, char (&dst)[N]) {
        Note(column);
        dst[0] = '\0';
    }
    int64_t Int(const char* column) { return Note(column), 0; }
    int32_t Int32(const char* column) { return Note(column), 0; }
    double Real(const char* column) { return Note(column), 0; }
    bool Bool(const char* column) { return Note(column), false; }
    double Date(const char* column) { return Note(column), 0; }
    double LocalDate(const char* column) { return Note(column), 0; }

private:
    void Note(const char* column);

    std::vector<std::string> m_fields;
};

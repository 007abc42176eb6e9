#include "SfJsonRow.h"

#include "IsoDate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using simdjson::dom::element;
using simdjson::dom::element_type;

void SfJsonRow::Next(simdjson::dom::object record, int64_t seq) {
    m_fields.clear();
    for (auto field : record)
        m_fields.emplace_back(field.key, field.value);
    m_nRequest = 0;
    m_nSeq = seq;
}

const element* SfJsonRow::Find(const char* column) {
    const size_t k = m_nRequest++;
    const std::string_view name(column);
    if (k < m_index.size()) {
        const int cached = m_index[k];
        if (cached >= 0 && static_cast<size_t>(cached) < m_fields.size() &&
            m_fields[static_cast<size_t>(cached)].first == name)
            return &m_fields[static_cast<size_t>(cached)].second;
    }
    int found = -1;
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].first == name) {
            found = static_cast<int>(i);
            break;
        }
    if (k >= m_index.size())
        m_index.resize(k + 1, -1);
    m_index[k] = found;
    return found < 0 ? nullptr : &m_fields[static_cast<size_t>(found)].second;
}

bool SfJsonRow::IsNull(const char* column) {
    if (std::strcmp(column, "Seq") == 0)
        return false;
    const element* v = Find(column);
    return !v || v->is_null();
}

const char* SfJsonRow::Text(const char* column) {
    const element* v = Find(column);
    const char* text = nullptr;
    if (!v || v->type() != element_type::STRING || v->get_c_str().get(text) != simdjson::SUCCESS)
        return "";
    return text;
}

int64_t SfJsonRow::Int(const char* column) {
    if (std::strcmp(column, "Seq") == 0)
        return m_nSeq;
    const element* v = Find(column);
    if (!v)
        return 0;
    switch (v->type()) {
    case element_type::INT64:
        return v->get_int64().value_unsafe();
    case element_type::UINT64: {
        uint64_t u = v->get_uint64().value_unsafe();
        return u > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(u);
    }
    case element_type::DOUBLE: {
        double d = v->get_double().value_unsafe();
        if (!std::isfinite(d))
            return 0;
        d = std::trunc(d);
        if (d >= 9.2e18)
            return INT64_MAX;
        if (d <= -9.2e18)
            return INT64_MIN;
        return static_cast<int64_t>(d);
    }
    case element_type::BOOL:
        return v->get_bool().value_unsafe() ? 1 : 0;
    default:
        return 0;
    }
}

int32_t SfJsonRow::Int32(const char* column) {
    return static_cast<int32_t>(std::clamp<int64_t>(Int(column), INT32_MIN, INT32_MAX));
}

double SfJsonRow::Real(const char* column) {
    const element* v = Find(column);
    if (!v)
        return 0;
    switch (v->type()) {
    case element_type::DOUBLE:
        return v->get_double().value_unsafe();
    case element_type::INT64:
        return static_cast<double>(v->get_int64().value_unsafe());
    case element_type::UINT64:
        return static_cast<double>(v->get_uint64().value_unsafe());
    default:
        return 0;
    }
}

bool SfJsonRow::Bool(const char* column) {
    const element* v = Find(column);
    return v && v->type() == element_type::BOOL && v->get_bool().value_unsafe();
}

double SfJsonRow::Date(const char* column) {
    double date = 0;
    IsoToAutomationDate(Text(column), &date);
    return date;
}

double SfJsonRow::LocalDate(const char* column) {
    double date = 0;
    IsoToLocalAutomationDate(Text(column), &date);
    return date;
}

void FieldListRow::Note(const char* column) {
    if (std::strcmp(column, "Seq") == 0)
        return;
    if (std::find(m_fields.begin(), m_fields.end(), column) == m_fields.end())
        m_fields.emplace_back(column);
}

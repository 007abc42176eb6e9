// Word lists the sample org is made from: names (with the ASCII spelling used
// in e-mail addresses), companies, places and activity texts.
#pragma once

#include <cstddef>

struct SampleName {
    const char* text;
    const char* ascii;
};

struct SampleCompany {
    const char* name;
    const char* domain;
    const char* industry;
};

struct SamplePlace {
    const char* city;
    const char* state;
    const char* postalCode;
    const char* country;
    const char* phonePrefix;
};

template <class T> struct SampleList {
    const T* items;
    size_t count;
};

extern const SampleList<SampleName> kFirstNames;
extern const SampleList<SampleName> kLastNames;
extern const SampleList<SampleCompany> kCompanies;
extern const SampleList<SamplePlace> kPlaces;
extern const SampleList<const char*> kStreets;
extern const SampleList<const char*> kSalutations;
extern const SampleList<const char*> kTitles;
extern const SampleList<const char*> kDepartments;
extern const SampleList<const char*> kLeadSources;
extern const SampleList<const char*> kLeadStatuses;
extern const SampleList<const char*> kRatings;
extern const SampleList<const char*> kAccountTypes;
extern const SampleList<const char*> kDescriptions;
extern const SampleList<const char*> kEventSubjects;
extern const SampleList<const char*> kEventLocations;
extern const SampleList<const char*> kTaskSubjects;
extern const SampleList<const char*> kTaskStatuses;
extern const SampleList<const char*> kTaskPriorities;
extern const SampleList<const char*> kNoteTitles;
extern const SampleList<const char*> kNoteBodies;

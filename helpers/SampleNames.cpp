#include "SampleNames.h"

#include <iterator>

namespace {

const SampleName kFirst[] = {
    {"James", "james"},       {"Mary", "mary"},          {"J\u00fcrgen", "juergen"},
    {"Zo\u00eb", "zoe"},      {"\u0141ukasz", "lukasz"}, {"Fran\u00e7ois", "francois"},
    {"S\u00f8ren", "soeren"}, {"Jos\u00e9", "jose"},     {"Bj\u00f6rn", "bjoern"},
    {"Anna", "anna"},         {"Chlo\u00e9", "chloe"},   {"Mei", "mei"},
    {"Hiroshi", "hiroshi"},   {"Olga", "olga"},          {"Ahmed", "ahmed"},
    {"Priya", "priya"},       {"Liam", "liam"},          {"Emma", "emma"},
    {"Sof\u00eda", "sofia"},  {"Dmitri", "dmitri"},      {"Agnieszka", "agnieszka"},
    {"Thomas", "thomas"},     {"Sarah", "sarah"},        {"Michael", "michael"},
    {"Linda", "linda"},       {"\u00c5sa", "asa"},       {"Ren\u00e9e", "renee"},
    {"Wojciech", "wojciech"}, {"Ingrid", "ingrid"},      {"Carlos", "carlos"},
};

const SampleName kLast[] = {
    {"Smith", "smith"},
    {"M\u00fcller", "mueller"},
    {"Nowak", "nowak"},
    {"Garc\u00eda", "garcia"},
    {"O'Brien", "obrien"},
    {"Johnson", "johnson"},
    {"Dubois", "dubois"},
    {"Kowalski", "kowalski"},
    {"Rossi", "rossi"},
    {"S\u00f8rensen", "soerensen"},
    {"Tanaka", "tanaka"},
    {"Ivanova", "ivanova"},
    {"Brown", "brown"},
    {"Schr\u00f6der", "schroeder"},
    {"Lef\u00e8vre", "lefevre"},
    {"Wi\u015bniewski", "wisniewski"},
    {"Nguyen", "nguyen"},
    {"Patel", "patel"},
    {"Andersson", "andersson"},
    {"Fern\u00e1ndez", "fernandez"},
    {"Williams", "williams"},
    {"Jones", "jones"},
    {"Taylor", "taylor"},
    {"Chen", "chen"},
    {"D\u00edaz", "diaz"},
    {"\u0160imek", "simek"},
    {"van der Berg", "vanderberg"},
};

const SampleCompany kCompanyList[] = {
    {"Acme Corp", "acme.example.com", "Manufacturing"},
    {"Globex", "globex.example.com", "Energy"},
    {"Initech", "initech.example.com", "Technology"},
    {"Umbrella Ltd", "umbrella.example.co.uk", "Biotechnology"},
    {"M\u00fcller & S\u00f6hne GmbH", "mueller-soehne.example.de", "Machinery"},
    {"Krak\u00f3w Software", "krakowsoft.example.pl", "Technology"},
    {"Nordlys AS", "nordlys.example.no", "Shipping"},
    {"Hooli", "hooli.example.com", "Technology"},
    {"Stark Industries", "stark.example.com", "Engineering"},
    {"Z\u00fcrich Consulting AG", "zurich-consulting.example.ch", "Consulting"},
    {"Soylent", "soylent.example.com", "Food & Beverage"},
    {"Vandelay Industries", "vandelay.example.com", "Retail"},
    {"Caf\u00e9 du Monde SARL", "cafedumonde.example.fr", "Hospitality"},
    {"Tyrell", "tyrell.example.com", "Biotechnology"},
};

const SamplePlace kPlaceList[] = {
    {"Berlin", "BE", "10115", "Germany", "+49 30"},
    {"M\u00fcnchen", "BY", "80331", "Germany", "+49 89"},
    {"Krak\u00f3w", "MA", "30-001", "Poland", "+48 12"},
    {"Z\u00fcrich", "ZH", "8001", "Switzerland", "+41 44"},
    {"Paris", "IDF", "75001", "France", "+33 1"},
    {"London", "", "SW1A 1AA", "United Kingdom", "+44 20"},
    {"New York", "NY", "10001", "USA", "+1 212"},
    {"San Francisco", "CA", "94105", "USA", "+1 415"},
    {"S\u00e3o Paulo", "SP", "01000-000", "Brazil", "+55 11"},
    {"Malm\u00f6", "", "211 20", "Sweden", "+46 40"},
    {"Toronto", "ON", "M5H 2N2", "Canada", "+1 416"},
    {"Oslo", "", "0150", "Norway", "+47 22"},
};

const char* const kStreetList[] = {
    "Hauptstra\u00dfe", "Main Street",   "Rue de la Paix",   "ul. Floria\u0144ska",
    "Bahnhofstrasse",   "Market Street", "Baker Street",     "Avenida Paulista",
    "Broadway",         "Storgatan",     "King Street West",
};

const char* const kSalutationList[] = {"", "", "Mr.", "Ms.", "Mrs.", "Dr.", "Prof."};
const char* const kTitleList[] = {"CEO",
                                  "CFO",
                                  "Sales Manager",
                                  "Account Executive",
                                  "Engineer",
                                  "Director of Marketing",
                                  "Buyer",
                                  "Assistant",
                                  "Gesch\u00e4ftsf\u00fchrer",
                                  ""};
const char* const kDepartmentList[] = {"Sales",       "Marketing",  "Finance",
                                       "Engineering", "Support",    "Human Resources",
                                       "Legal",       "Purchasing", ""};
const char* const kLeadSourceList[] = {"Web",        "Phone Inquiry", "Partner Referral",
                                       "Trade Show", "Word of mouth", ""};
const char* const kLeadStatusList[] = {"Open - Not Contacted", "Working - Contacted",
                                       "Closed - Converted", "Closed - Not Converted"};
const char* const kRatingList[] = {"Hot", "Warm", "Cold", ""};
const char* const kAccountTypeList[] = {"Customer - Direct", "Customer - Channel", "Prospect",
                                        "Partner", "Other"};
const char* const kDescriptionList[] = {
    "",
    "",
    "Met at the trade fair in Hannover.",
    "Prefers e-mail. Spricht Deutsch und Englisch.",
    "Key contact for the renewal.\nCall before 10 am.",
    "Interested in the premium plan; send the price list.",
    "Ancien client, tr\u00e8s fid\u00e8le.",
    "Decision maker \u2014 budget approved for Q3.",
};
const char* const kEventSubjectList[] = {
    "Meeting",  "Quarterly review",         "Lunch", "Product demo", "Planning \u2014 Q3",
    "Kick-off", "D\u00e9jeuner d'affaires", "Call",  "Training",     "Contract signing",
};
const char* const kEventLocationList[] = {"Room 4.12",   "Video call",    "Caf\u00e9 Central, Wien",
                                          "Head office", "Customer site", ""};
const char* const kTaskSubjectList[] = {"Call",
                                        "Send proposal",
                                        "Follow up",
                                        "Prepare contract",
                                        "Email \u2014 pricing",
                                        "R\u00fcckruf vereinbaren",
                                        "Send quote",
                                        "Other"};
const char* const kTaskStatusList[] = {"Not Started", "In Progress", "Completed",
                                       "Waiting on someone else", "Deferred"};
const char* const kTaskPriorityList[] = {"High", "Normal", "Normal", "Low"};
const char* const kNoteTitleList[] = {"Meeting notes", "Call summary", "Pricing",
                                      "Notiz zur \u00dcbergabe", "Next steps"};
const char* const kNoteBodyList[] = {
    "Discussed the renewal; they want a two-year term.", "Asked for a discount of 5 %.",
    "Kunde w\u00fcnscht ein Angebot bis Freitag.",       "",
    "Action items:\n- send deck\n- book follow-up",
};

template <class T, size_t N> constexpr SampleList<T> ListOf(const T (&items)[N]) {
    return {items, N};
}

} // namespace

const SampleList<SampleName> kFirstNames = ListOf(kFirst);
const SampleList<SampleName> kLastNames = ListOf(kLast);
const SampleList<SampleCompany> kCompanies = ListOf(kCompanyList);
const SampleList<SamplePlace> kPlaces = ListOf(kPlaceList);
const SampleList<const char*> kStreets = ListOf(kStreetList);
const SampleList<const char*> kSalutations = ListOf(kSalutationList);
const SampleList<const char*> kTitles = ListOf(kTitleList);
const SampleList<const char*> kDepartments = ListOf(kDepartmentList);
const SampleList<const char*> kLeadSources = ListOf(kLeadSourceList);
const SampleList<const char*> kLeadStatuses = ListOf(kLeadStatusList);
const SampleList<const char*> kRatings = ListOf(kRatingList);
const SampleList<const char*> kAccountTypes = ListOf(kAccountTypeList);
const SampleList<const char*> kDescriptions = ListOf(kDescriptionList);
const SampleList<const char*> kEventSubjects = ListOf(kEventSubjectList);
const SampleList<const char*> kEventLocations = ListOf(kEventLocationList);
const SampleList<const char*> kTaskSubjects = ListOf(kTaskSubjectList);
const SampleList<const char*> kTaskStatuses = ListOf(kTaskStatusList);
const SampleList<const char*> kTaskPriorities = ListOf(kTaskPriorityList);
const SampleList<const char*> kNoteTitles = ListOf(kNoteTitleList);
const SampleList<const char*> kNoteBodies = ListOf(kNoteBodyList);

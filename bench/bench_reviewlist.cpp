// The review list with a large contact load: fills the list the "Load All" way
// from the record walk of 100,000 contacts and measures the fill with the
// view's first paint, ticking every row, and paging through the list. Then
// matches the contacts on their last name alone, so that nearly all are
// duplicates, and measures the duplicates view the same way: its fill with
// the ticks the review page gives, its first paint, and paging through it
// with every row naming its kept record.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
// Usage: bench_reviewlist [contacts]   (default 100000)
#include "Apputil.h"
#include "CrmData.h"
#include "CxText.h"
#include "DupMatch.h"
#include "RecordListView.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the event loop until the counter saw a paint after `before`.
bool WaitForPaint(const PaintCounter& counter, int before) {
    const auto start = Clock::now();
    while (counter.paints == before) {
        if (MsSince(start) > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}

const char* const kFirstNames[] = {
    "Anna", "Bernd",  "Carla", "David", "Elena", "Frank",   "Greta", "Hans",
    "Ines", "Jonas",  "Karin", "Lukas", "Maria", "Niklas",  "Olga",  "Paul",
    "Rita", "Sven",   "Tanja", "Uwe",   "Vera",  "Walter",  "Xenia", "Yusuf",
    "Zoe",  "Jürgen", "Søren", "Zoë",   "Chloé", "Mateusz", "Ana",   "Kenji"};
const char* const kLastNames[] = {
    "Berg",     "Schmidt",    "Novak",  "Fischer", "Weber",   "Meyer",    "Wagner",   "Becker",
    "Schulz",   "Hoffmann",   "Koch",   "Richter", "Klein",   "Wolf",     "Schröder", "Neumann",
    "Schwarz",  "Zimmermann", "Braun",  "Krüger",  "Hofmann", "Hartmann", "Lange",    "Schmitt",
    "Werner",   "Krause",     "Meier",  "Lehmann", "Schmid",  "Schulze",  "Maier",    "Köhler",
    "Herrmann", "König",      "Walter", "Mayer",   "Huber",   "Kaiser",   "Fuchs",    "Peters"};
const char* const kDomains[] = {"example.com", "example.org", "example.net", "mail.example"};
const char* const kDepartments[] = {"Sales",      "Marketing", "Finance", "Support",
                                    "Purchasing", "IT",        "Legal",   "Research"};
const char* const kTitles[] = {"Manager",    "Director",      "Assistant", "Engineer",
                               "Consultant", "Head of Sales", "Buyer",     "CFO"};

template <class T, size_t N> const T& Pick(const T (&items)[N], size_t i) {
    return items[i % N];
}

// Lower-case ASCII letters of a name, for the e-mail address.
void MailPart(char* out, size_t cap, const char* name) {
    size_t n = 0;
    for (const char* p = name; *p && n + 1 < cap; ++p) {
        const char c = *p;
        if (c >= 'A' && c <= 'Z')
            out[n++] = static_cast<char>(c - 'A' + 'a');
        else if (c >= 'a' && c <= 'z')
            out[n++] = c;
    }
    out[n] = 0;
}

// Loads count contacts into CrmData as a data file read would: each record kept
// by the exchange object and linked both ways with an entry of its collection.
bool BuildContacts(size_t count) {
    CrmData.AddrUtil = new CxSFAddrUtil;
    CrmData.AddrDupList = new CxList;
    for (size_t i = 0; i < count; ++i) {
        const char* first = Pick(kFirstNames, i);
        const char* last = Pick(kLastNames, i / 7);
        SFAddrRec rec;
        CopyText(rec.FirstName, first);
        CopyText(rec.LastName, last);
        std::snprintf(rec.Name, sizeof(rec.Name), "%s %s", first, last);
        char a[32], b[32];
        MailPart(a, sizeof(a), first);
        MailPart(b, sizeof(b), last);
        char mail[128];
        std::snprintf(mail, sizeof(mail), "%s.%s%zu@%s", a, b, i, Pick(kDomains, i));
        CopyText(rec.Email, mail);
        std::snprintf(rec.Phone, sizeof(rec.Phone), "+1 555 %04zu %04zu", (i / 10000) % 10000,
                      i % 10000);
        CopyText(rec.Department, Pick(kDepartments, i / 3));
        CopyText(rec.Title, Pick(kTitles, i / 5));
        rec.LastModificationTime = 41033 + static_cast<double>(i % 1000);

        CommAddrRec common;
        CopyText(common.FullName, rec.Name);
        CopyText(common.Email, rec.Email);
        SFAddrRec* kept = CrmData.AddrUtil->KeepRecord(&rec);
        CommAddrRec* entry = kept ? CrmData.AddrUtil->GetCollection()->AddRecord(&common) : nullptr;
        if (!entry)
            return false;
        kept->Entry = entry;
        entry->NativeData = kept;
    }
    return true;
}

// The "Load All" fill of the review page: every record of the walk, unticked.
int FillAll(TRecordListModel& model, size_t expected) {
    model.BeginFill(expected);
    for (SFAddrRec* rec = FirstAddrRecord(); rec; rec = NextAddrRecord())
        model.Append(rec, false);
    model.EndFill();
    return model.RowCount();
}

// The duplicates fill of the review page: the duplicate list, each ticked
// unless it does not equal its kept record.
int FillDups(TRecordListModel& model) {
    CxList* dups = CrmData.AddrDupList;
    model.BeginFill(dups->GetCount());
    for (void* item = dups->GetFirst(); item; item = dups->GetNext()) {
        auto* rec = static_cast<SFAddrRec*>(item);
        model.Append(rec, !(rec->Flags & mkIndirect));
    }
    model.EndFill();
    return model.RowCount();
}

struct Target {
    const char* what;
    double ms;
    double limit;
};

} // namespace

int main(int argc, char** argv) {
    size_t count = 100000;
    if (argc > 1)
        count = static_cast<size_t>(std::strtoul(argv[1], nullptr, 10));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    auto start = Clock::now();
    if (!BuildContacts(count)) {
        std::fprintf(stderr, "could not build %zu contacts\n", count);
        FreeCrmData();
        return 2;
    }
    std::printf("contacts built in memory: %zu (%.0f ms, not measured below)\n", count,
                MsSince(start));

    TRecordListView view(rkAddr);
    view.resize(560, 400); // about the list's size on the review page
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    view.show();
    WaitForPaint(counter, 0);
    TRecordListModel& model = *view.Model();
    std::vector<Target> targets;

    // Load All, into an empty list and again over a full one.
    for (const char* what :
         {"Load All fill + first paint (empty list)", "Load All fill + first paint (refill)"}) {
        const int before = counter.paints;
        start = Clock::now();
        const int rows = FillAll(model, count);
        const double fillMs = MsSince(start);
        view.update();
        const bool painted = WaitForPaint(counter, before);
        const double totalMs = MsSince(start);
        std::printf("%-44s %8.1f ms  (fill %.1f ms, %d rows%s)\n", what, totalMs, fillMs, rows,
                    painted ? "" : ", NO PAINT SEEN");
        targets.push_back({what, totalMs, 1000});
    }

    for (bool on : {true, false}) {
        const char* what = on ? "TickAll(true) + repaint" : "TickAll(false) + repaint";
        const int before = counter.paints;
        start = Clock::now();
        model.TickAll(on);
        WaitForPaint(counter, before);
        const double ms = MsSince(start);
        std::printf("%-44s %8.1f ms\n", what, ms);
        targets.push_back({what, ms, 500});
    }

    // Page down 100 times from the top, each with its repaint.
    auto pageDown = [&](const char* what) {
        view.setFocus();
        view.setCurrentIndex(model.index(0, 0));
        QCoreApplication::processEvents();
        std::vector<double> scrolls;
        for (int i = 0; i < 100; ++i) {
            const int before = counter.paints;
            const auto at = Clock::now();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
            QCoreApplication::sendEvent(&view, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
            QCoreApplication::sendEvent(&view, &release);
            WaitForPaint(counter, before);
            scrolls.push_back(MsSince(at));
        }
        double sum = 0;
        for (double ms : scrolls)
            sum += ms;
        const double average = sum / static_cast<double>(scrolls.size());
        std::sort(scrolls.begin(), scrolls.end());
        std::printf("%-44s %8.2f ms average, %.2f ms median, %.2f ms max (row %d reached)\n", what,
                    average, scrolls[scrolls.size() / 2], scrolls.back(),
                    view.currentIndex().row());
        targets.push_back({what, average, 50});
    };
    pageDown("page down + repaint (100 times)");

    // From the top to the last row in one jump.
    {
        const int before = counter.paints;
        start = Clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::sendEvent(&view, &press);
        WaitForPaint(counter, before);
        std::printf("%-44s %8.2f ms (row %d)\n", "jump to the last row + repaint", MsSince(start),
                    view.currentIndex().row());
    }

    // The duplicates view: nearly every contact shares its last name with a
    // newer one.
    AppSettings.CaseSensitive = AppSettings.CompareEmpty = false;
    AppSettings.AddrDisplayName = AppSettings.AddrFirstName = AppSettings.AddrEmail = false;
    AppSettings.AddrDepartment = AppSettings.AddrTitle = AppSettings.AddrPhone = false;
    AppSettings.AddrAddress = AppSettings.AddrBirthday = AppSettings.AddrNote = false;
    AppSettings.AddrLastName = true;
    FindAddrDups();
    {
        const char* what = "Duplicates fill + first paint";
        const int before = counter.paints;
        start = Clock::now();
        const int rows = FillDups(model);
        const double fillMs = MsSince(start);
        view.update();
        const bool painted = WaitForPaint(counter, before);
        const double totalMs = MsSince(start);
        std::printf("%-44s %8.1f ms  (fill %.1f ms, %d rows%s)\n", what, totalMs, fillMs, rows,
                    painted ? "" : ", NO PAINT SEEN");
        targets.push_back({what, totalMs, 1000});
    }
    pageDown("duplicates: page down + repaint (100 times)");

    start = Clock::now();
    model.Clear();
    QCoreApplication::processEvents();
    std::printf("%-44s %8.1f ms\n", "Clear", MsSince(start));
    FreeCrmData();

    int missed = 0;
    for (const Target& t : targets) {
        if (t.ms > t.limit) {
            std::printf("MISSED: %s took %.1f ms, target %.0f ms\n", t.what, t.ms, t.limit);
            ++missed;
        }
    }
    if (!missed)
        std::printf("all targets met\n");
    return missed ? 1 : 0;
}

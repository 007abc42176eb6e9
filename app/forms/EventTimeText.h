// The start and end of a calendar event as the review list and the clean-up
// log show them: the date and the time of day in the user's locale.
#pragma once

#include <QString>

// "N/A" for a value below 0.001 (no date), an empty text for a value with no
// calendar date; otherwise the locale's short date, followed by its short
// time of day unless the event lasts all day.
QString EventTimeText(double value, bool allDay);

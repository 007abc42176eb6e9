#include "EventTimeText.h"

#include "CxDateTime.h"

#include <QDate>
#include <QLocale>
#include <QTime>

QString EventTimeText(double value, bool allDay) {
    if (value < 0.001)
        return QStringLiteral("N/A");
    const CxDateTime when(value);
    if (!when.m_bValid)
        return QString();
    const QLocale locale;
    const QString date =
        locale.toString(QDate(when.wYear, when.wMonth, when.wDay), QLocale::ShortFormat);
    if (allDay)
        return date;
    return date + QLatin1Char(' ') +
           locale.toString(QTime(when.wHour, when.wMinute, when.wSecond), QLocale::ShortFormat);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/locale_qt.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

namespace brisko {

std::string LocaleQt::DecimalSeparator() const { return QLocale::system().decimalPoint().toStdString(); }

std::string LocaleQt::ShortDateToday() const {
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
}

std::string LocaleQt::LongTimeNow() const {
    // Qt's long time format carries the time zone; Windows' long time is the time
    // with seconds only, so the zone fields are dropped.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
    return QLocale::system().toString(QTime::currentTime(), format.trimmed()).toStdString();
}

}  // namespace brisko

#pragma once

#include "storage/Appointment.h"

#include <QDateTime>
#include <QString>

// The appointments the crash writer stores, shared with the test that kills
// it, so both sides know what each write must leave in the file. Values vary
// in length and character set (Windows-1252 and text stored as UTF-8), and
// every pass over the keys gives each key a new value, so later passes edit
// lines in place instead of adding them.
namespace crashwriter {

inline constexpr int kAppointments = 1000;

inline QString key(int index)
{
    return KeyParts::fromDateTime(QDateTime(QDate(2027, 3, 1), QTime(0, 0)).addSecs(60 * index))
        .key();
}

inline QString value(int index, int pass)
{
    static const char codes[] = "AHYTVZCXQIJLRN";
    QString text = QChar(QLatin1Char(codes[(index + pass) % 14]))
        + QStringLiteral("Appointment %1 of pass %2").arg(index).arg(pass);
    switch ((index + pass) % 5) {
    case 0:
        text += QString::fromUtf8(" caf\u00e9 \u20ac5");
        break;
    case 1:
        text += QString::fromUtf8(" \u4f1a\u8bae \u0395\u03bb\u03bb\u03ac\u03b4\u03b1");
        break;
    case 2:
        text += QLatin1Char(' ') + QString(180 + index % 60, QLatin1Char('x'));
        break;
    case 3:
        text += QLatin1Char('}');
        break;
    default:
        break;
    }
    return text;
}

} // namespace crashwriter

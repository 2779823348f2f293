#pragma once

#include <QDateTime>
#include <QString>

// "2012年12月4日7时40分7秒": the date with its unit signs, then the time with trailing zero parts left
// out (7时40分 at 7:40:00, 7时 at 7:00:00, nothing at midnight).
QString dateTimeText(const QDateTime& moment);
QString dateTimeText(); // the local clock, now

// Up to and including the first 日: "2012年12月4日".
QString datePart(const QDateTime& moment);
QString datePart();

// What follows the first 日, at most 99 bytes of GBK text: "7时40分7秒", empty at midnight.
QString timePart(const QDateTime& moment);
QString timePart();

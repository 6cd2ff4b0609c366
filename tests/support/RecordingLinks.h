#pragma once

#include "calendar/WindowLinks.h"

#include <QList>
#include <QStringList>

// The calendar window's links to windows of their own, recording what the
// calendar asked of them; `journal`, when set, also gets every call in order.
struct RecordingManager final : ManagerWindow
{
    void showAtTab(int tab) override { tabs.append(tab); }
    void showAtDate(const QDate &date) override { dates.append(date); }
    QList<int> tabs;
    QList<QDate> dates;
};

struct RecordingVersionCheck final : VersionCheck
{
    void run() override { ++runs; }
    bool isDue(const QDate &) const override { return due; }
    void cancel() override
    {
        if (journal)
            *journal << QStringLiteral("cancel transfer");
    }
    int runs = 0;
    bool due = true;
    QStringList *journal = nullptr;
};

struct RecordingDayMarking final : DayMarking
{
    void underline(const MarkingTarget &target) override
    {
        calls.append(target.remarkOnly);
        if (journal)
            *journal << QStringLiteral("underline:%1").arg(target.remarkOnly);
    }
    QList<bool> calls;
    QStringList *journal = nullptr;
};

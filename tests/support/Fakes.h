#pragma once

#include "engine/Firing.h"
#include "platform/Autostart.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/GlobalKey.h"
#include "platform/Launcher.h"
#include "platform/Network.h"
#include "platform/Printer.h"
#include "platform/Services.h"
#include "tests/support/QtPrinters.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

// A clock that moves only when told. Waits advance it at once and let the
// event loop run once, so timers due in that time still fire; its own timers
// fire as it moves.
class FakeClock final : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)))
        : m_now(std::move(start))
    { }
    ~FakeClock() override;
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonic; }
    void processEventsFor(int ms) override;
    std::unique_ptr<Timer> timer(std::function<void()> timeout, bool repeat) override;

    void set(const QDateTime &when) { m_now = when; }
    // Moves time on; the clock's timers due meanwhile fire in order, each at
    // its own time.
    void advance(qint64 ms);
    // Moves time on in `stepMs` steps, letting events run after each, until
    // `done` holds or `ms` have passed; whether it holds.
    bool runUntil(const std::function<bool()> &done, qint64 ms, qint64 stepMs = 10);
    int waits = 0;

private:
    class FakeTimer;
    QDateTime m_now;
    qint64 m_monotonic = 0;
    QList<FakeTimer *> m_timers;
};

struct RecordedBox
{
    QString text;
    MsgButtons buttons;
    MsgIcon icon;
    QString title;
};

class FakeDialogs final : public Dialogs
{
public:
    MsgAnswer messageBox(
        const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title) override;
    std::optional<quint32> chooseColour(quint32 initial) override;
    void beep() override { ++beeps; }
    QString chooseOpenFile(
        const QString &title, const QString &folder, const QString &filter) override;
    QString chooseSaveFile(
        const QString &title, const QString &suggested, const QString &filter) override;

    // Answers given in order; when none is queued, Ok (or No for Yes/No).
    std::deque<MsgAnswer> answers;
    // Chosen colours in order; nothing queued (or nullopt) is Cancel.
    std::deque<std::optional<quint32>> colours;
    QList<quint32> colourInitials; // the initial colour of each colour dialog
    int beeps = 0;
    std::deque<QString> files; // chosen files to open, then to save, in order
    QList<RecordedBox> boxes;
    // Runs while a box stands, as events do under a modal box.
    std::function<void(const RecordedBox &box)> whileShown;
};

struct StartedProgram
{
    QString program;
    QStringList arguments;
    WindowStyle style;
};

class FakeLauncher final : public Launcher
{
public:
    bool start(const QString &program, const QStringList &arguments, WindowStyle style) override
    {
        started.append({ program, arguments, style });
        return succeed;
    }
    bool openDocument(const QString &path) override
    {
        opened.append(path);
        return succeed;
    }
    QStringList opened;
    bool succeed = true;
    QList<StartedProgram> started;
};

class FakeNetwork final : public Network
{
public:
    bool isOnline() override
    {
        ++onlineQueries;
        return online;
    }
    std::optional<QByteArray> fetch(const QUrl &url, int) override
    {
        fetched.append(url);
        return replies.value(url.toString());
    }
    // Answers from `replies` from the event loop; a URL without a reply fails.
    std::unique_ptr<Transfer> fetchAsync(const QUrl &url, FetchOptions options,
        std::function<void(const FetchResult &result)> finished) override;
    bool online = false;
    int onlineQueries = 0;
    QMap<QString, QByteArray> replies;
    QList<QUrl> fetched;
};

class FakeAutostart final : public Autostart
{
public:
    std::optional<QString> read(List list, const QString &name) override
    {
        if (journal)
            *journal << QStringLiteral("RunListRead");
        const auto key = qMakePair(int(list), name.toLower());
        if (!values.contains(key))
            return std::nullopt;
        return values.value(key);
    }
    bool write(List list, const QString &name, const QString &text) override
    {
        if (!writable)
            return false;
        values.insert(qMakePair(int(list), name.toLower()), text);
        return true;
    }
    QString lastError() const override { return QStringLiteral("the folder is read-only"); }
    bool writable = true;
    QMap<QPair<int, QString>, QString> values;
    QStringList *journal = nullptr;
};

// Records the pages asked for and answers as told.
class FakePrinter final : public Printer
{
public:
    Result printLines(const QString &title, const QStringList &lines) override
    {
        jobs.append({ title, lines });
        return result;
    }
    Result result { Outcome::Printed, QStringLiteral("Office"), {} };
    QList<QPair<QString, QStringList>> jobs;
};

// A key watched on the desktop, as far as the test can tell: which key, and
// the watches and stops asked for ("watch ff14", "stop"). The test presses.
class FakeGlobalKey final : public GlobalKey
{
public:
    bool watch(quint32 keysym, Handler handler) override
    {
        log << QStringLiteral("watch %1").arg(keysym, 0, 16);
        if (!succeed)
            return false;
        watched = keysym;
        m_handler = std::move(handler);
        return true;
    }
    void stop() override
    {
        log << QStringLiteral("stop");
        watched.reset();
        m_handler = {};
    }
    // False when nothing is watched.
    bool send(Event event) const
    {
        if (m_handler)
            m_handler(event);
        return bool(m_handler);
    }
    bool succeed = true;
    std::optional<quint32> watched;
    QStringList log;

private:
    Handler m_handler;
};

// Folders of file names; `running` is the program's own file.
class FakeFiles final : public Files
{
public:
    QStringList fileNames(const QString &folder) const override { return folders.value(folder); }
    bool isRunningProgram(const QString &path) const override { return path == running; }
    bool remove(const QString &path) override
    {
        tried << path;
        if (!removable)
            return false;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        folders[path.left(slash)].removeAll(path.mid(slash + 1));
        return true;
    }
    QMap<QString, QStringList> folders;
    QString running;
    bool removable = true;
    QStringList tried;
};

// Every service faked, ready to hand to a window.
struct FakeServices
{
    FakeClock clock;
    FakeDialogs dialogs;
    FakeLauncher launcher;
    FakeNetwork network;
    FakeAutostart autostart;
    FakePrinter printer;
    Services services { clock, dialogs, launcher, network, autostart, printer };
};

// Records what firing asked of the message window.
class RecordingAnnouncer final : public Announcer
{
public:
    void Show() override { ++shows; }
    void display(bool confirm, const QString &text) override { displays.append({ confirm, text }); }
    void displayPages(const QList<QPair<bool, QString>> &added, const QString &said) override
    {
        pages += added;
        spoken.append(said);
    }
    int shows = 0;
    QList<QPair<bool, QString>> displays;
    QList<QPair<bool, QString>> pages; // shown several at once
    QStringList spoken; // what was said for them
};

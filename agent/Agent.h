#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>

#include <memory>

// The character engine as the program drives it: a control that loads
// characters by identifier, characters with a request queue, and the two
// events the program handles. The program sees only this interface; the
// engine behind it (and the recording fake of the tests) implements it.
namespace agent {

// A request's status; 0 means complete.
enum RequestStatus { Complete = 0, Failed = 1, Pending = 2, Interrupted = 3, InProgress = 4 };

struct Request
{
    int id = 0;
    RequestStatus Status = Pending;
};
using RequestPtr = std::shared_ptr<Request>;

struct CommandEntry
{
    QString name;
    QString caption;
    QString voice; // grammar: words in square brackets are optional
    bool enabled = true;
    bool visible = true;
};

class Commands
{
public:
    virtual ~Commands() = default;
    virtual void Add(const QString &name, const QString &caption, const QString &voice,
        bool enabled, bool visible)
        = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool Visible() const = 0;
    virtual QList<CommandEntry> entries() const = 0;
};

class Character
{
public:
    virtual ~Character() = default;
    // Each returns the request that carries it out; every request ends with
    // exactly one RequestComplete (done, stopped or failed).
    virtual RequestPtr Show(bool fast = false) = 0;
    virtual RequestPtr Hide(bool fast = false) = 0;
    virtual RequestPtr MoveTo(qint16 x, qint16 y) = 0; // frame's top-left, screen pixels
    // To the side of `window` (its frame, screen pixels) with room, where
    // neither the character nor its balloon covers any of it.
    virtual RequestPtr MoveBeside(const QRect &window) = 0;
    virtual RequestPtr Play(const QString &animation) = 0;
    virtual RequestPtr Speak(const QString &text) = 0;
    // Drops every queued request and cuts off speech at once.
    virtual void Stop() = 0;
    virtual qint16 Width() const = 0;
    virtual qint16 Height() const = 0;
    virtual bool SoundEffectsOn() const = 0;
    virtual void setSoundEffectsOn(bool on) = 0;
    virtual Commands &commands() = 0;
    virtual bool Visible() const = 0;
};

struct UserInput
{
    QString Name;
};

class Control : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Loads `file` (a bare name is looked up in the character folders) under
    // `id`; false, with a log line, when it cannot be loaded.
    virtual bool Load(const QString &id, const QString &file) = 0;
    // Why the last Load that failed did so, for telling the user.
    virtual QString loadError() const { return {}; }
    // The character loaded under `id`, or nullptr.
    virtual Character *Characters(const QString &id) = 0;
    virtual void Unload(const QString &id) = 0;
    // The engine's own options window.
    virtual void setPropertySheetVisible(bool visible) = 0;

signals:
    void RequestComplete(agent::RequestPtr request);
    void Command(agent::UserInput userInput);
};

} // namespace agent

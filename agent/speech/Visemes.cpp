#include "agent/speech/Visemes.h"

#include "agent/Logging.h"

#include <QHash>
#include <QJsonObject>

namespace agent {

namespace {

const char *const kNames[kVisemeCount]
    = { "rest", "mbp", "fv", "th", "open", "wide", "round", "etc" };

const QHash<QString, Viseme> &phoneTable()
{
    static const QHash<QString, Viseme> table = [] {
        QHash<QString, Viseme> t;
        auto add = [&t](Viseme v, std::initializer_list<const char *> phones) {
            for (const char *p : phones)
                t.insert(QLatin1String(p), v);
        };
        add(Viseme::Rest, { "pau", "h#", "brth" });
        add(Viseme::MBP, { "m", "b", "p" });
        add(Viseme::FV, { "f", "v" });
        add(Viseme::TH, { "th", "dh", "l" });
        add(Viseme::Open, { "aa", "ae", "ah", "aw", "ay", "ax" });
        add(Viseme::Wide, { "eh", "ey", "ih", "iy", "y", "er" });
        add(Viseme::Round, { "ao", "ow", "oy", "uh", "uw", "w" });
        add(Viseme::Etc,
            { "t", "d", "n", "s", "z", "k", "g", "ng", "ch", "jh", "sh", "zh", "r", "hh" });
        return t;
    }();
    return table;
}

} // namespace

QString visemeName(Viseme v)
{
    return QLatin1String(kNames[int(v)]);
}

std::optional<Viseme> visemeFromName(const QString &name)
{
    for (int i = 0; i < kVisemeCount; ++i) {
        if (name.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0)
            return Viseme(i);
    }
    return std::nullopt;
}

std::optional<Viseme> visemeForPhone(QStringView phone)
{
    const auto &table = phoneTable();
    const auto it = table.constFind(phone.toString().toLower());
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

MouthShape fallbackMouth(Viseme v)
{
    switch (v) {
    case Viseme::Rest:
    case Viseme::MBP:
        return MouthShape::Closed;
    case Viseme::FV:
    case Viseme::TH:
    case Viseme::Round:
    case Viseme::Etc:
        return MouthShape::Small;
    case Viseme::Open:
        return MouthShape::Open;
    case Viseme::Wide:
        return MouthShape::Wide;
    }
    return MouthShape::Small;
}

bool VisemeParts::isEmpty() const
{
    for (const QString &p : parts) {
        if (!p.isEmpty())
            return false;
    }
    return true;
}

VisemeParts readVisemeParts(const QJsonValue &value, QStringList *problems)
{
    VisemeParts out;
    if (value.isUndefined() || value.isNull())
        return out;
    if (!value.isObject()) {
        if (problems)
            *problems << QStringLiteral("visemes must be an object of shape names");
        return out;
    }
    const QJsonObject o = value.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const auto v = visemeFromName(it.key());
        if (!v) {
            if (problems)
                *problems << QStringLiteral("unknown mouth shape \"%1\"").arg(it.key().left(40));
            continue;
        }
        if (!it.value().isString() || it.value().toString().isEmpty()) {
            if (problems)
                *problems << QStringLiteral("the shape \"%1\" must name a part").arg(it.key());
            continue;
        }
        out.parts[size_t(*v)] = it.value().toString();
    }
    return out;
}

const SpokenPhone *PhoneFollower::at(const QVector<SpokenPhone> &phones, qint64 sample)
{
    if (m_next > phones.size())
        m_next = 0;
    while (m_next < phones.size() && phones[m_next].end <= sample)
        ++m_next;
    if (m_next < phones.size() && phones[m_next].start <= sample)
        return &phones[m_next];
    return nullptr;
}

MouthPick pickMouth(const SpokenPhone *phone, double loudness, const VisemeParts &parts)
{
    MouthPick pick;
    pick.shape = mouthForLevel(loudness);
    if (!phone)
        return pick;
    const auto v = visemeForPhone(phone->label);
    if (!v) {
        qCDebug(lcSpeech) << "No mouth shape for the phone" << phone->label;
        return pick;
    }
    if (parts.isEmpty())
        return pick; // the character has loudness mouths only
    if (!parts.part(*v).isEmpty())
        pick.viseme = v;
    else
        pick.shape = fallbackMouth(*v);
    return pick;
}

} // namespace agent

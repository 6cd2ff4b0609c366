#include "storage/Settings.h"

#include "storage/Conversions.h"
#include "storage/IniEngine.h"
#include "storage/Logging.h"
#include "storage/TextCodec.h"

#include <QDir>
#include <QFileInfo>

namespace {
// Settings are not cut like data-file values: a backup folder may be long.
constexpr quint32 kSettingSize = 65536;
} // namespace

SettingsStore::SettingsStore(QString path)
    : m_path(std::move(path))
{ }

QString SettingsStore::ReadSetting(
    const QString &section, const QString &key, const QString &defaultValue) const
{
    // A default made only of blanks must come back as given, so the engine
    // gets none and the default is applied here.
    static const QByteArray kMissing("\x01missing\x01");
    const ini::ReadResult result = ini::getPrivateProfileString(textcodec::toFileBytes(section),
        textcodec::toFileBytes(key), kMissing, kSettingSize, m_path);
    const QByteArray value = result.text.left(result.count);
    if (value == kMissing)
        return defaultValue;
    return textcodec::fromFileBytes(value);
}

bool SettingsStore::WriteSetting(
    const QString &section, const QString &key, const QString &value, QString *error)
{
    const QString oneLine = textcodec::oneLine(value);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (!ini::writePrivateProfileString(textcodec::toFileBytes(section),
            textcodec::toFileBytes(key), textcodec::toFileBytes(oneLine), m_path, error)) {
        qCWarning(lcStorage) << "setting" << section << key << "could not be stored in" << m_path;
        return false;
    }
    return true;
}

QString SettingsStore::read(const SettingKey &key) const
{
    return ReadSetting(QLatin1String(key.section), QLatin1String(key.key),
        key.defaultValue ? QString::fromLatin1(key.defaultValue) : QString());
}

QString SettingsStore::read(const SettingKey &key, const QString &defaultValue) const
{
    return ReadSetting(QLatin1String(key.section), QLatin1String(key.key), defaultValue);
}

bool SettingsStore::write(const SettingKey &key, const QString &value, QString *error)
{
    return WriteSetting(QLatin1String(key.section), QLatin1String(key.key), value, error);
}

Flag SettingsStore::flag(const SettingKey &key) const
{
    const QString value = read(key);
    if (value == QLatin1String(setting::kTrueText))
        return Flag::True;
    if (value == QLatin1String(setting::kFalseText))
        return Flag::False;
    return Flag::Other;
}

void SettingsStore::setFlag(const SettingKey &key, bool on)
{
    write(key, QLatin1String(on ? setting::kTrueText : setting::kFalseText));
}

std::optional<quint32> SettingsStore::colour(const SettingKey &key) const
{
    return parseColour(read(key));
}

std::optional<float> SettingsStore::position(const SettingKey &key) const
{
    return parsePosition(read(key));
}

void SettingsStore::setPosition(const SettingKey &key, float twips)
{
    write(key, formatPosition(twips));
}

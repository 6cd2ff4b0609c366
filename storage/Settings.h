#pragma once

#include <QString>

#include <optional>

// One key of the settings store: its section as the program spells it and
// the default its readers give. A null default means the readers give none
// (a missing key reads as empty text). Keys whose readers disagree on the
// default name the odd reader's default beside the table.
struct SettingKey
{
    const char *section;
    const char *key;
    const char *defaultValue;
};

namespace setting {
// A colour key's default as a number; 0 for a key without one.
constexpr quint32 defaultColour(const SettingKey &key)
{
    quint32 value = 0;
    for (const char *c = key.defaultValue; c && *c >= '0' && *c <= '9'; ++c)
        value = value * 10 + quint32(*c - '0');
    return value;
}

// section "data" (also spelled "Data": names match without regard to case)
inline constexpr SettingKey FormX { "Data", "FormX", "300" };
inline constexpr SettingKey FormY { "Data", "FormY", "300" };
inline constexpr SettingKey SetX { "Data", "setx", "200" };
inline constexpr SettingKey SetY { "Data", "sety", "200" };
inline constexpr SettingKey Visible { "data", "visible", "True" };
inline constexpr SettingKey FontSize { "data", "fontsize", "small" };
inline constexpr SettingKey TitleBackColor { "data", "titlebackcolor", "8388672" };
inline constexpr SettingKey TitleForeColor { "data", "titleforecolor", "16777215" };
inline constexpr SettingKey MonthBackColor { "data", "monthbackcolor", "65535" };
inline constexpr SettingKey ForeColor { "data", "forecolor", "0" };
inline constexpr SettingKey TrailingForeColor { "data", "trailingforecolor", "16744576" };
inline constexpr SettingKey Char { "data", "char", "Tockel" };
inline constexpr SettingKey SoundFx { "data", "soundfx", "True" };
inline constexpr SettingKey Hide { "data", "hide", "False" };
// The menu toggle reads "delay" as "True" when missing, the message window as "False".
inline constexpr SettingKey Delay { "data", "delay", "False" };
inline constexpr const char *kDelayMenuDefault = "True";
// Announcements are also posted as desktop notifications.
inline constexpr SettingKey Notify { "data", "notify", "True" };
inline constexpr SettingKey SpkHelp { "data", "spkhelp", "on" };
inline constexpr SettingKey NeedsReboot { "data", "needsreboot", "False" };
inline constexpr SettingKey AutoBackup { "data", "autobackup", "False" };
inline constexpr SettingKey BackDir { "data", "backdir", nullptr };
inline constexpr SettingKey BackDrive { "data", "backdrive", "c:" };
// Its default is today's date, so a missing key never restarts the program.
inline constexpr SettingKey LastReboot { "data", "lastreboot", nullptr };
inline constexpr SettingKey TwoRun { "data", "2run", "True" };
inline constexpr SettingKey OneRun { "data", "1run", "True" };
// The character reads the day's appointments in the morning.
inline constexpr SettingKey Briefing { "data", "briefing", "False" };

// "Restore to default" of the colour panel writes this palette, which is not
// the one missing keys give.
inline constexpr const char *kRestoreTitleBackColor = "&H0000FFFF";
inline constexpr const char *kRestoreTitleForeColor = "&H00400000";
inline constexpr const char *kRestoreMonthBackColor = "&H00000000";
inline constexpr const char *kRestoreForeColor = "&H00FFFFFF";
inline constexpr const char *kRestoreTrailingForeColor = "&H00FF0000";

// Section "update": the servers of the version list and of the update; the
// paths on them are fixed (update/VersionRules.h). Plain http only where
// an address says so.
inline constexpr SettingKey VersionsUrl { "update", "versionsurl", "https://www.quillory.org" };
inline constexpr SettingKey DownloadUrl { "update", "downloadurl",
    "https://download.quillory.org" };
// The day (yyyy-MM-dd) the version list was last fetched: the calendar
// restarts itself several times a day, and the check runs once a day.
inline constexpr SettingKey LastVersionCheck { "update", "lastcheck", nullptr };

// Section "version": key = a version text offered once, value "1"; a
// version never offered reads "0".
inline constexpr const char *kVersionSection = "version";
inline constexpr const char *kOfferedValue = "1";
inline constexpr const char *kNotOfferedValue = "0";

// Section "ical": the time of day an all-day event is announced at
// (hh:mm), and the vdir folder the appointments are kept in step with
// (none: no sync).
inline constexpr SettingKey AllDayTime { "ical", "alldaytime", "09:00" };
inline constexpr SettingKey SyncFolder { "ical", "syncfolder", nullptr };

// The two literals flags are stored as, compared case-sensitively.
inline constexpr const char *kTrueText = "True";
inline constexpr const char *kFalseText = "False";
} // namespace setting

// A flag as stored: "True", "False", or some other text. Readers differ in
// which literal they test for, and text that is neither must stay neither.
enum class Flag { True, False, Other };

// The per-user settings store of application "Calendar", kept in an INI
// file with the same engine as the data file. Every change is written
// through at once; there is no cache.
class SettingsStore
{
public:
    explicit SettingsStore(QString path);

    QString ReadSetting(
        const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // False, with the reason in `error`, when the settings file cannot be
    // written; most callers carry on regardless.
    bool WriteSetting(
        const QString &section, const QString &key, const QString &value, QString *error = nullptr);

    // With the table's section and default.
    QString read(const SettingKey &key) const;
    QString read(const SettingKey &key, const QString &defaultValue) const;
    bool write(const SettingKey &key, const QString &value, QString *error = nullptr);

    // Typed readers over the table. Each keeps the stored text as it is; a
    // reader gives nothing (or Flag::Other) where the text has the wrong form.
    Flag flag(const SettingKey &key) const;
    void setFlag(const SettingKey &key, bool on);
    std::optional<quint32> colour(const SettingKey &key) const;
    std::optional<float> position(const SettingKey &key) const;
    void setPosition(const SettingKey &key, float twips);
    QString text(const SettingKey &key) const { return read(key); }

    const QString &path() const { return m_path; }

private:
    QString m_path;
};

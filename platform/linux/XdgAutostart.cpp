#include "platform/linux/XdgAutostart.h"

#include "platform/Logging.h"

#include "storage/AppPaths.h"
#include "storage/AtomicFile.h"
#include <QDir>
#include <QFile>

namespace {

const QString kExec = QStringLiteral("Exec=");
const QString kValueKey = QStringLiteral("X-Quillory-Name=");

} // namespace

QString quoteExec(const QString &program)
{
    if (program.isEmpty())
        return {};
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (QChar c : program)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString arg;
    for (QChar c : program) {
        if (needsQuotes
            && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\')))
            arg += QLatin1Char('\\');
        arg += c;
    }
    if (needsQuotes)
        arg = QLatin1Char('"') + arg + QLatin1Char('"');
    // Then the escapes of any desktop-entry string, and %% for a literal %.
    QString out;
    for (QChar c : arg) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('%'))
            out += QLatin1String("%%");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

QString unquoteExec(const QString &exec)
{
    QString arg;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
            const QChar n = exec[++i];
            arg += n == QLatin1Char('n') ? QChar('\n') : n == QLatin1Char('s') ? QChar(' ') : n;
        } else if (c == QLatin1Char('%') && i + 1 < exec.size()
            && exec[i + 1] == QLatin1Char('%')) {
            arg += c;
            ++i;
        } else {
            arg += c;
        }
    }
    if (arg.size() < 2 || !arg.startsWith(QLatin1Char('"')) || !arg.endsWith(QLatin1Char('"')))
        return arg;
    QString out;
    const QString inner = arg.mid(1, arg.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner[i] == QLatin1Char('\\') && i + 1 < inner.size())
            ++i;
        out += inner[i];
    }
    return out;
}

XdgAutostart::XdgAutostart(QString folder)
    : m_folder(std::move(folder))
{ }

QString XdgAutostart::defaultFolder()
{
    const QString home = qEnvironmentVariable("QUILLORY_HOME");
    if (!home.isEmpty())
        return home + QStringLiteral("/autostart");
    return AppPaths::configHome() + QStringLiteral("/autostart");
}

QString XdgAutostart::fileFor(List list) const
{
    return m_folder
        + (list == List::Run ? QStringLiteral("/quillory.desktop")
                             : QStringLiteral("/quillory-services.desktop"));
}

std::optional<QString> XdgAutostart::read(List list, const QString &name)
{
    QFile file(fileFor(list));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    std::optional<QString> exec;
    QString storedName;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(kExec) && !exec)
            exec = unquoteExec(line.mid(kExec.size()));
        else if (line.startsWith(kValueKey))
            storedName = line.mid(kValueKey.size());
    }
    // One entry holds one value; another name in it is another program's.
    if (!storedName.isEmpty() && storedName.compare(name, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return exec.value_or(QString());
}

bool XdgAutostart::write(List list, const QString &name, const QString &text)
{
    if (!QDir().mkpath(m_folder)) {
        m_lastError = QStringLiteral("the folder %1 cannot be created").arg(m_folder);
        qCWarning(lcPlatform) << "cannot create" << m_folder;
        return false;
    }
    QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Quillory\n"
                                   "Comment=Talking desktop calendar\n");
    entry += kValueKey + name + QLatin1Char('\n');
    entry += kExec + quoteExec(text) + QLatin1Char('\n');
    // An empty value is the switched-off state: the desktop must not run it.
    entry += text.isEmpty() ? QStringLiteral("Hidden=true\n") : QStringLiteral("Hidden=false\n");
    QString error;
    if (!writeFileAtomically(fileFor(list), entry.toUtf8(), &error)) {
        m_lastError = QStringLiteral("%1 cannot be written (%2)").arg(fileFor(list), error);
        qCWarning(lcPlatform) << "cannot write" << fileFor(list) << error;
        return false;
    }
    qCDebug(lcPlatform) << "wrote" << fileFor(list) << "Exec=" << text;
    return true;
}

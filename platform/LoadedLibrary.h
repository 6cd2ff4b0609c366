#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <optional>

// A system library opened when it is first needed rather than linked: a
// linked library is mapped and relocated at every start, even in a run that
// never calls it. Its calls are then taken one by one by name.
class LoadedLibrary
{
public:
    LoadedLibrary(const QString &name, int version)
        : m_library(name, version)
    { }
    // A library or module of the program's own, by its path.
    explicit LoadedLibrary(const QString &fileName)
        : m_library(fileName)
    { }

    // False, with why(), when the library is missing or will not load.
    bool load()
    {
        if (m_library.load())
            return true;
        m_why = m_library.fileName() + QStringLiteral(" did not load: ") + m_library.errorString();
        return false;
    }

    // Sets `function` to the library's call `symbol`; false, with why()
    // naming the call, when the library lacks it (another version).
    template<typename Function> bool resolve(const char *symbol, Function &function)
    {
        function = reinterpret_cast<Function>(m_library.resolve(symbol));
        if (!function && m_why.isEmpty())
            m_why = m_library.fileName() + QStringLiteral(" lacks ") + QLatin1String(symbol);
        return function != nullptr;
    }

    QString why() const { return m_why; }

private:
    // Never unloaded when it goes out of scope: what it made (keys, voices,
    // decoders) may outlive any one caller.
    QLibrary m_library;
    QString m_why;
};

// Where the program's own modules are: where the package installs them,
// then beside a program run from its build folder.
QStringList installedModuleFolders();

// The one entry `symbol` of the program's module `name`, from the first of
// `folders` that has it; null, with `why` (its name when no folder has the
// module), when none does.
template<typename Entry>
Entry openModuleEntry(
    const QStringList &folders, const char *name, const char *symbol, QString *why)
{
    for (const QString &folder : folders) {
        LoadedLibrary module(folder + QLatin1Char('/') + QLatin1String(name));
        Entry entry = nullptr;
        if (module.load() && module.resolve(symbol, entry)) {
            why->clear();
            return entry;
        }
        *why = module.why();
    }
    if (why->isEmpty())
        *why = QStringLiteral("no module %1 found").arg(QLatin1String(name));
    return nullptr;
}

// The calls `open` takes from a library, taken at their first need and kept
// for the rest of the run (one set per `Calls` type); null when `open` found
// the library or a call missing, which it reports itself.
template<typename Calls, typename Open> const Calls *openOnce(Open open)
{
    static const std::optional<Calls> calls = open();
    return calls ? &*calls : nullptr;
}

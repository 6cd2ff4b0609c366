#pragma once

#include <QString>

// Where Debian's pocketsphinx-en-us package puts the US English model.
inline QString installedRecognizerModel()
{
    return QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us");
}
inline QString installedRecognizerDictionary()
{
    return QStringLiteral("/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict");
}

// Headers nearly every QtCore file of the program includes, parsed once per
// library instead of once per file: most of a build's time was spent here.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

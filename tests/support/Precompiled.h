// What nearly every test file includes; gtest and Qt's widget headers are
// most of a test file's compile time.
#pragma once

#include "cmake/precompiled/Widgets.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

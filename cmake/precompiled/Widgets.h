// The window libraries' common headers on top of the QtCore ones.
#pragma once

#include "Core.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

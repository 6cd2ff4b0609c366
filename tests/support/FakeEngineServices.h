#pragma once

#include "agent/EngineServices.h"
#include "platform/WindowShape.h"
#include "tests/support/Fakes.h"

#include <QImage>

// A desktop that composites unless told otherwise; records the cuts.
class FakeWindowShape final : public WindowShape
{
public:
    bool desktopComposites() const override { return composites; }
    void cutTo(QWidget &, const QImage &picture) override
    {
        ++cuts;
        lastCut = picture;
    }
    void uncut(QWidget &) override { lastCut = QImage(); }
    bool composites = true;
    int cuts = 0;
    QImage lastCut; // null while the window is whole
};

// Every service of the character engine as a dummy.
struct FakeEngineServices
{
    FakeWindowShape windowShape;
    FakeGlobalKey globalKey;
    agent::EngineServices services { windowShape, &globalKey };
};

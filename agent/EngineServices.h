#pragma once

class GlobalKey;
class WindowShape;

namespace agent {

// What the character engine uses of the system, handed in by its owner:
// app/ wires the real services, tests hand dummies. Each must outlive the
// engine.
struct EngineServices
{
    // Whether the desktop composites, and the window's shape where not.
    WindowShape &windowShape;
    // The listening key on the whole desktop; null: the key works only
    // while a Quillory window has the focus.
    GlobalKey *globalKey = nullptr;
};

} // namespace agent

#pragma once

class Clock;
class Dialogs;
class Launcher;
class Network;
class Autostart;
class Printer;

// The operating system as the program sees it. Windows receive this at
// construction; app/ wires the real services, tests wire fakes.
struct Services
{
    Clock &clock;
    Dialogs &dialogs;
    Launcher &launcher;
    Network &network;
    Autostart &autostart;
    Printer &printer;
};

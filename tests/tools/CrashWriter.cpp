#include "tests/tools/CrashWriter.h"

#include "storage/IniFuncs.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// Writes appointments `first` .. kAppointments-1 of pass `pass` into the data
// file, one INIWrite each, until it is killed. Before each write it tells its
// parent which one it starts, on standard output and unbuffered, so the
// parent knows after the kill what had to be in the file.
//
//   quillory_crash_writer DATAFILE FIRST PASS
int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DATAFILE FIRST PASS\n", argv[0]);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const int first = std::atoi(argv[2]);
    const int pass = std::atoi(argv[3]);
    for (int i = first; i < crashwriter::kAppointments; ++i) {
        const QByteArray started = QByteArray::number(i) + '\n';
        if (::write(STDOUT_FILENO, started.constData(), size_t(started.size())) != started.size())
            return 3;
        QString error;
        if (!INIFuncs::INIWrite(file, QLatin1String(kAlarmsSection), crashwriter::key(i),
                crashwriter::value(i, pass), &error)) {
            std::fprintf(stderr, "write %d failed: %s\n", i, qPrintable(error));
            return 1;
        }
    }
    return ::write(STDOUT_FILENO, "done\n", 5) == 5 ? 0 : 3;
}

// libFuzzer harness for the character-file reader: every input is read as
// a .acs file; one that loads is drawn at rest and in the last pose of each
// animation, at two sizes, so the art's layers and caches are exercised too.
#include "agent/character/CharacterFile.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

void draw(const agent::CharacterFile &file, const agent::Pose &pose, double scale)
{
    QImage image((QSizeF(file.frame) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(scale, scale);
    file.art->paint(painter, pose);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const auto file = agent::CharacterFile::parse(json, QStringLiteral("Fuzz"), &error);
    if (!file) {
        Q_ASSERT(!error.isEmpty());
        return 0;
    }
    draw(*file, file->rest, 1.0);
    for (const agent::Animation &animation : file->animations) {
        if (!animation.frames.isEmpty())
            draw(*file, file->withMouth(animation.frames.last().target, agent::MouthShape::Wide),
                1.5);
    }
    for (const QString &name : file->sounds.keys())
        (void)file->sound(name);
    return 0;
}

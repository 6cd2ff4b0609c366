#include "agent/character/CharacterFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace agent;

namespace {

QJsonObject shipped(const QString &name)
{
    QFile f(QStringLiteral(QUILLORY_SOURCE_DIR "/characters/") + name + ".acs");
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll()).object();
}

std::shared_ptr<const CharacterFile> parse(const QJsonObject &o, QString *error)
{
    return CharacterFile::parse(QJsonDocument(o).toJson(), QStringLiteral("Test"), error);
}

} // namespace

TEST(CharacterVoiceTest, TheShippedCharactersHaveFliteVoicesAndEveryMouthShape)
{
    const QHash<QString, QString> voices { { "Tockel", "rms" }, { "Bramble", "slt" } };
    for (const QString &name : voices.keys()) {
        QString error;
        const auto file = parse(shipped(name), &error);
        ASSERT_TRUE(file) << error.toStdString();
        EXPECT_EQ(file->voice.fliteVoice, voices[name]);
        EXPECT_FALSE(file->voice.espeakVoice.isEmpty()); // for other scripts
        for (int v = 0; v < kVisemeCount; ++v) {
            const QString part = file->visemes.part(Viseme(v));
            EXPECT_FALSE(part.isEmpty()) << visemeName(Viseme(v)).toStdString();
            EXPECT_TRUE(file->art->hasPart(part)) << part.toStdString();
        }
        // A speech shape shows its part alone; at rest none but the closed mouth shows.
        const Pose o = file->withMouthPart(file->rest, file->visemes.part(Viseme::Round));
        for (const QString &id : file->visemes.parts)
            EXPECT_EQ(o.part(id).visible, id == file->visemes.part(Viseme::Round))
                << id.toStdString();
        const Pose wide = file->withMouth(o, MouthShape::Wide);
        EXPECT_FALSE(wide.part(file->visemes.part(Viseme::Round)).visible);
        EXPECT_TRUE(wide.part(file->mouths[int(MouthShape::Wide)]).visible);
    }
}

TEST(CharacterVoiceTest, OddVoiceAndShapeEntriesAreIgnoredNotFatal)
{
    QJsonObject o = shipped("Tockel");
    o["voice"]
        = QJsonObject { { "flite", "bad voice!" }, { "engine", "festival" }, { "espeak", "en" } };
    QJsonObject shapes = o["visemes"].toObject();
    shapes["grin"] = "mouthWide";
    shapes["mbp"] = 7;
    o["visemes"] = shapes;
    QString error;
    const auto file = parse(o, &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_TRUE(file->voice.fliteVoice.isEmpty());
    EXPECT_TRUE(file->voice.engine.isEmpty());
    EXPECT_EQ(file->voice.espeakVoice, "en");
    EXPECT_TRUE(file->visemes.part(Viseme::MBP).isEmpty());
    EXPECT_EQ(file->visemes.part(Viseme::Round), "mouthRound");

    // An explicit engine, and a character without any speech shapes.
    o["voice"] = QJsonObject { { "engine", "espeak" }, { "espeak", "de" } };
    o.remove("visemes");
    const auto plain = parse(o, &error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->voice.engine, "espeak");
    EXPECT_TRUE(plain->visemes.isEmpty());

    // A shape naming a very long part is past the name bound.
    o["visemes"] = QJsonObject { { "open", QString(500, 'x') } };
    EXPECT_FALSE(parse(o, &error));
    EXPECT_TRUE(error.contains("mouth")) << error.toStdString();
}

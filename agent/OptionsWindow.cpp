#include "agent/OptionsWindow.h"

#include "storage/Settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace agent {

namespace {
const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

int readInt(const SettingsStore &settings, const char *key, int fallback, int lo, int hi)
{
    bool ok = false;
    const int v = settings.ReadSetting(QLatin1String(EngineOptions::kSection), QLatin1String(key))
                      .trimmed()
                      .toInt(&ok);
    return ok ? std::clamp(v, lo, hi) : fallback;
}

// A slider with its value shown beside it.
QWidget *withValue(QSlider *slider, const QString &suffix)
{
    auto *box = new QWidget;
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel;
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("200 %")));
    auto show = [label, suffix](int v) { label->setText(QString::number(v) + suffix); };
    QObject::connect(slider, &QSlider::valueChanged, label, show);
    show(slider->value());
    row->addWidget(slider, 1);
    row->addWidget(label);
    return box;
}

QSlider *slider(int lo, int hi)
{
    auto *s = new QSlider(Qt::Horizontal);
    s->setRange(lo, hi);
    s->setMinimumWidth(180);
    return s;
}
} // namespace

void EngineOptions::load(const SettingsStore &settings)
{
    const EngineOptions d;
    speechRatePercent = readInt(settings, "speechrate", d.speechRatePercent, 50, 200);
    pitchOffset = readInt(settings, "pitch", d.pitchOffset, -30, 30);
    speechVolume = readInt(settings, "speechvolume", d.speechVolume, 0, 100);
    const QString b = settings.ReadSetting(QLatin1String(kSection), QStringLiteral("balloon"));
    balloon = b.compare(kFalse, Qt::CaseInsensitive) != 0;
    balloonFontSize = readInt(settings, "balloonfontsize", d.balloonFontSize, 8, 20);
    effectsVolume = readInt(settings, "effectsvolume", d.effectsVolume, 0, 100);
}

void EngineOptions::save(SettingsStore &settings) const
{
    const QString section = QLatin1String(kSection);
    settings.WriteSetting(
        section, QStringLiteral("speechrate"), QString::number(speechRatePercent));
    settings.WriteSetting(section, QStringLiteral("pitch"), QString::number(pitchOffset));
    settings.WriteSetting(section, QStringLiteral("speechvolume"), QString::number(speechVolume));
    settings.WriteSetting(section, QStringLiteral("balloon"), balloon ? kTrue : kFalse);
    settings.WriteSetting(
        section, QStringLiteral("balloonfontsize"), QString::number(balloonFontSize));
    settings.WriteSetting(section, QStringLiteral("effectsvolume"), QString::number(effectsVolume));
}

VoiceSpec EngineOptions::voiceFor(const VoiceSpec &character) const
{
    VoiceSpec v = character;
    v.rate = std::clamp(character.rate * speechRatePercent / 100, 40, 900);
    v.pitch = std::clamp(character.pitch + pitchOffset, 0, 99);
    v.volume = std::clamp(speechVolume, 0, 100);
    return v;
}

OptionsWindow::OptionsWindow(EngineOptions &options, SettingsStore *settings, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_options(options)
    , m_settings(settings)
{
    setWindowTitle(tr("Character Options"));
    setObjectName(QStringLiteral("characterOptions"));

    m_rate = slider(50, 200);
    m_rate->setObjectName(QStringLiteral("speechRate"));
    m_pitch = new QSpinBox;
    m_pitch->setObjectName(QStringLiteral("pitchOffset"));
    m_pitch->setRange(-30, 30);
    m_volume = slider(0, 100);
    m_volume->setObjectName(QStringLiteral("speechVolume"));
    m_balloon = new QCheckBox(tr("Show spoken words in a balloon"));
    m_balloon->setObjectName(QStringLiteral("balloon"));
    m_fontSize = new QSpinBox;
    m_fontSize->setObjectName(QStringLiteral("balloonFontSize"));
    m_fontSize->setRange(8, 20);
    m_fontSize->setSuffix(tr(" pt"));
    m_effects = slider(0, 100);
    m_effects->setObjectName(QStringLiteral("effectsVolume"));

    auto *form = new QFormLayout;
    form->addRow(tr("Speech &rate:"), withValue(m_rate, QStringLiteral(" %")));
    form->addRow(tr("&Pitch:"), m_pitch);
    form->addRow(tr("Speech &volume:"), withValue(m_volume, QString()));
    form->addRow(QString(), m_balloon);
    form->addRow(tr("Balloon &font size:"), m_fontSize);
    form->addRow(tr("Sound &effects volume:"), withValue(m_effects, QString()));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

    auto *column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(buttons);

    refresh();
    connect(m_rate, &QSlider::valueChanged, this, &OptionsWindow::apply);
    connect(m_pitch, &QSpinBox::valueChanged, this, &OptionsWindow::apply);
    connect(m_volume, &QSlider::valueChanged, this, &OptionsWindow::apply);
    connect(m_balloon, &QCheckBox::toggled, this, &OptionsWindow::apply);
    connect(m_fontSize, &QSpinBox::valueChanged, this, &OptionsWindow::apply);
    connect(m_effects, &QSlider::valueChanged, this, &OptionsWindow::apply);
}

void OptionsWindow::refresh()
{
    m_refreshing = true;
    m_rate->setValue(m_options.speechRatePercent);
    m_pitch->setValue(m_options.pitchOffset);
    m_volume->setValue(m_options.speechVolume);
    m_balloon->setChecked(m_options.balloon);
    m_fontSize->setValue(m_options.balloonFontSize);
    m_effects->setValue(m_options.effectsVolume);
    m_refreshing = false;
}

void OptionsWindow::apply()
{
    if (m_refreshing)
        return;
    m_options.speechRatePercent = m_rate->value();
    m_options.pitchOffset = m_pitch->value();
    m_options.speechVolume = m_volume->value();
    m_options.balloon = m_balloon->isChecked();
    m_options.balloonFontSize = m_fontSize->value();
    m_options.effectsVolume = m_effects->value();
    if (m_settings)
        m_options.save(*m_settings);
    emit changed();
}

} // namespace agent

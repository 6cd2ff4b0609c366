#include "agent/character/OptionsWindow.h"

#include "agent/listen/Listener.h"
#include "agent/speech/VoiceChoice.h"
#include "storage/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace agent {

namespace {

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

OptionsWindow::OptionsWindow(
    EngineOptions &options, SettingsStore *settings, Clock &clock, QWidget *parent)
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

    m_voice = new QComboBox;
    m_voice->setObjectName(QStringLiteral("speakingVoice"));
    m_voice->setAccessibleName(tr("Voice"));
    for (const VoiceChoice &choice : voiceChoices())
        m_voice->addItem(choice.label, choice.id);

    auto *form = new QFormLayout;
    form->addRow(tr("V&oice:"), m_voice);
    form->addRow(tr("Speech &rate:"), withValue(m_rate, QStringLiteral(" %")));
    form->addRow(tr("&Pitch:"), m_pitch);
    form->addRow(tr("Speech &volume:"), withValue(m_volume, QString()));
    form->addRow(QString(), m_balloon);
    form->addRow(tr("Balloon &font size:"), m_fontSize);
    form->addRow(tr("Sound &effects volume:"), withValue(m_effects, QString()));

    m_listenKey = new QComboBox;
    m_listenKey->setObjectName(QStringLiteral("listenKey"));
    for (const ListenKeyInfo &key : listenKeys())
        m_listenKey->addItem(Listener::tr(key.label), QLatin1String(key.name));
    m_microphone = new QComboBox;
    m_microphone->setObjectName(QStringLiteral("microphone"));
    m_level = new QProgressBar;
    m_level->setObjectName(QStringLiteral("level"));
    m_level->setRange(0, 100);
    m_level->setTextVisible(false);
    m_level->setMaximumHeight(10);
    m_test = new QPushButton(tr("&Test"));
    m_test->setObjectName(QStringLiteral("testListening"));
    m_heard = new QLabel;
    m_heard->setObjectName(QStringLiteral("heard"));
    m_heard->setWordWrap(true);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(m_test);
    testRow->addWidget(m_heard, 1);
    auto *voice = new QGroupBox(tr("Voice commands"));
    auto *voiceForm = new QFormLayout(voice);
    voiceForm->addRow(tr("&Hold to talk:"), m_listenKey);
    voiceForm->addRow(tr("&Microphone:"), m_microphone);
    voiceForm->addRow(tr("Level:"), m_level);
    voiceForm->addRow(QString(), testRow);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

    auto *column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(voice);
    column->addWidget(buttons);

    m_saved = m_options;
    m_saveTimer = clock.timer([this] { saveNow(); });
    // A program that ends with the window open keeps the last change too.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &OptionsWindow::saveNow);

    refresh();
    const auto later = [this] { apply(Settle::Later); };
    const auto now = [this] { apply(Settle::Now); };
    for (QSlider *s : { m_rate, m_volume, m_effects }) {
        connect(s, &QSlider::valueChanged, this, later);
        connect(s, &QSlider::sliderReleased, this, &OptionsWindow::saveNow);
    }
    connect(m_pitch, &QSpinBox::valueChanged, this, later);
    connect(m_fontSize, &QSpinBox::valueChanged, this, later);
    connect(m_balloon, &QCheckBox::toggled, this, now);
    connect(m_listenKey, &QComboBox::currentIndexChanged, this, now);
    connect(m_voice, &QComboBox::currentIndexChanged, this, now);
    connect(m_microphone, &QComboBox::currentIndexChanged, this, now);
    connect(m_test, &QPushButton::clicked, this, &OptionsWindow::test);
}

OptionsWindow::~OptionsWindow()
{
    saveNow();
}

void OptionsWindow::hideEvent(QHideEvent *event)
{
    saveNow();
    QWidget::hideEvent(event);
}

void OptionsWindow::saveNow()
{
    m_saveTimer->stop();
    if (!m_pending)
        return;
    m_pending = false;
    if (m_settings)
        m_options.save(*m_settings, &m_saved);
    m_saved = m_options;
}

void OptionsWindow::setListener(Listener *listener)
{
    if (m_listener)
        m_listener->disconnect(this);
    m_listener = listener;
    if (m_listener) {
        connect(m_listener, &Listener::level, this,
            [this](double level) { m_level->setValue(int(std::lround(level * 100))); });
        connect(m_listener, &Listener::listeningChanged, this, [this](bool listening) {
            if (!listening)
                m_level->setValue(0);
        });
        connect(m_listener, &Listener::heard, this,
            [this](const RecognitionResult &result, Listener::Mode mode, bool speech) {
                if (mode != Listener::Mode::Test)
                    return;
                m_heard->setText(describe(result, speech));
                refreshMicrophones();
            });
    }
    refresh();
}

QString OptionsWindow::describe(const RecognitionResult &result, bool speech)
{
    if (result.understood())
        return tr("Heard “%1”: %2").arg(result.phrase, result.command);
    if (!result.phrase.isEmpty())
        return tr("Nothing understood (it sounded like “%1”)").arg(result.phrase);
    return speech ? tr("Nothing understood") : tr("Nothing understood: no speech heard");
}

void OptionsWindow::refreshMicrophones()
{
    const bool was = m_refreshing;
    m_refreshing = true;
    m_microphone->clear();
    const QList<SoundDevice> devices
        = m_listener ? m_listener->microphones() : QList<SoundDevice>();
    const QString reason = m_listener ? m_listener->unavailableReason() : tr("No microphone found");
    if (devices.isEmpty()) {
        m_microphone->addItem(reason);
    } else {
        m_microphone->addItem(tr("Default microphone"), QString());
        for (const SoundDevice &d : devices)
            m_microphone->addItem(d.description, QString::fromUtf8(d.id));
    }
    // A stored microphone that is unplugged stays chosen for when it returns.
    int index = m_microphone->findData(m_options.microphone);
    if (index < 0 && !m_options.microphone.isEmpty() && !devices.isEmpty()) {
        m_microphone->addItem(
            tr("%1 (not connected)").arg(m_options.microphone), m_options.microphone);
        index = m_microphone->count() - 1;
    }
    m_microphone->setCurrentIndex(std::max(0, index));
    m_microphone->setEnabled(!devices.isEmpty());
    const bool listening = m_listener && m_listener->isListening();
    m_test->setEnabled(reason.isEmpty() && !listening);
    m_test->setToolTip(reason);
    m_refreshing = was;
}

void OptionsWindow::test()
{
    if (!m_listener || !m_listener->canListen())
        return;
    m_heard->setText(tr("Listening… say a command"));
    m_test->setEnabled(false);
    m_listener->startListening(Listener::Mode::Test);
}

void OptionsWindow::refresh()
{
    // What the user changed is written before the window shows anything else.
    saveNow();
    m_saved = m_options;
    m_refreshing = true;
    m_rate->setValue(m_options.speechRatePercent);
    m_pitch->setValue(m_options.pitchOffset);
    m_volume->setValue(m_options.speechVolume);
    m_balloon->setChecked(m_options.balloon);
    m_fontSize->setValue(m_options.balloonFontSize);
    m_effects->setValue(m_options.effectsVolume);
    m_voice->setCurrentIndex(std::max(0, m_voice->findData(m_options.voice)));
    m_listenKey->setCurrentIndex(std::max(0, m_listenKey->findData(m_options.listenKey)));
    refreshMicrophones();
    m_refreshing = false;
}

void OptionsWindow::apply(Settle settle)
{
    if (m_refreshing)
        return;
    m_options.speechRatePercent = m_rate->value();
    m_options.pitchOffset = m_pitch->value();
    m_options.speechVolume = m_volume->value();
    m_options.balloon = m_balloon->isChecked();
    m_options.balloonFontSize = m_fontSize->value();
    m_options.effectsVolume = m_effects->value();
    m_options.voice = m_voice->currentData().toString();
    m_options.listenKey = m_listenKey->currentData().toString();
    if (m_microphone->isEnabled())
        m_options.microphone = m_microphone->currentData().toString();
    m_pending = m_options != m_saved;
    emit changed();
    const bool dragging
        = m_rate->isSliderDown() || m_volume->isSliderDown() || m_effects->isSliderDown();
    if (settle == Settle::Now)
        saveNow();
    else if (dragging)
        m_saveTimer->stop(); // written when let go
    else
        m_saveTimer->start(kSaveDelayMs);
}

} // namespace agent

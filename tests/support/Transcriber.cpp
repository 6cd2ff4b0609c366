#include "tests/support/Transcriber.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <pocketsphinx.h>

#include <algorithm>
#include <vector>

namespace {
const char *const kModel = "/usr/share/pocketsphinx/model/en-us";
}

struct Transcriber::Decoder
{
    ps_decoder_t *ps = nullptr;
    ~Decoder()
    {
        if (ps)
            ps_free(ps);
    }
};

Transcriber::Transcriber()
    : m_d(std::make_unique<Decoder>())
{
    const QString root = QString::fromLatin1(kModel);
    if (!QFileInfo(root + QStringLiteral("/en-us.lm.bin")).isFile()) {
        m_error = QStringLiteral("no language model in ") + root;
        return;
    }
    const QByteArray hmm = QFile::encodeName(root + QStringLiteral("/en-us"));
    const QByteArray lm = QFile::encodeName(root + QStringLiteral("/en-us.lm.bin"));
    const QByteArray dict = QFile::encodeName(root + QStringLiteral("/cmudict-en-us.dict"));
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm",
        lm.constData(), "-dict", dict.constData(), "-logfn", "/dev/null", nullptr);
    if (!config) {
        m_error = QStringLiteral("the decoder rejected its configuration");
        return;
    }
    m_d->ps = ps_init(config);
    cmd_ln_free_r(config);
    if (!m_d->ps)
        m_error = QStringLiteral("the decoder did not start");
}

Transcriber::~Transcriber() = default;

bool Transcriber::isReady() const
{
    return m_d->ps != nullptr;
}

QString Transcriber::transcribe(const QVector<qint16> &pcm16k)
{
    if (!m_d->ps || pcm16k.isEmpty())
        return {};
    ps_start_utt(m_d->ps);
    ps_process_raw(m_d->ps, pcm16k.constData(), size_t(pcm16k.size()), FALSE, TRUE);
    ps_end_utt(m_d->ps);
    qint32 score = 0;
    const char *hyp = ps_get_hyp(m_d->ps, &score);
    return hyp ? QString::fromUtf8(hyp) : QString();
}

QStringList Transcriber::words(const QString &text)
{
    static const QRegularExpression notWord(QStringLiteral("[^a-z']+"));
    QString t = text.toLower();
    t.replace(notWord, QStringLiteral(" "));
    return t.split(u' ', Qt::SkipEmptyParts);
}

int Transcriber::wordErrors(const QStringList &reference, const QStringList &heard)
{
    const qsizetype n = reference.size();
    const qsizetype m = heard.size();
    std::vector<int> row(size_t(m) + 1);
    for (qsizetype j = 0; j <= m; ++j)
        row[size_t(j)] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= m; ++j) {
            const int above = row[size_t(j)];
            const int cost = reference[i - 1] == heard[j - 1] ? 0 : 1;
            row[size_t(j)] = std::min({ above + 1, row[size_t(j - 1)] + 1, diagonal + cost });
            diagonal = above;
        }
    }
    return row[size_t(m)];
}

QStringList Transcriber::sentences(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QString s = QString::fromUtf8(line).trimmed();
        if (!s.isEmpty() && !s.startsWith(u'#'))
            out << s;
    }
    return out;
}

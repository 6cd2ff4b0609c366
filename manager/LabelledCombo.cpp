#include "manager/LabelledCombo.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace {

constexpr const char *kByLabel = "quilloryReadByLabel";

class LabelledComboAccessible final : public QAccessibleWidget
{
public:
    explicit LabelledComboAccessible(QComboBox *box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    { }

    QString text(QAccessible::Text t) const override
    {
        const auto *box = static_cast<const QComboBox *>(widget());
        if (t == QAccessible::Value)
            return box->lineEdit() ? box->lineEdit()->text() : box->currentText();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *labelledComboFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String("QComboBox") || !object || !object->property(kByLabel).toBool())
        return nullptr;
    return new LabelledComboAccessible(static_cast<QComboBox *>(object));
}

} // namespace

void readByLabel(QComboBox *box, const QString &label)
{
    static const bool installed = [] {
        QAccessible::installFactory(labelledComboFactory);
        return true;
    }();
    Q_UNUSED(installed);
    box->setProperty(kByLabel, true);
    box->view()->setAccessibleName(label);
}

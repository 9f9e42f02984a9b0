#include "widgets/ValueAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QLabel>

namespace vexlo {
namespace {

constexpr const char* kValueField = "vexloValueField";

class ValueFieldAccessible final : public QAccessibleWidget {
public:
    explicit ValueFieldAccessible(QWidget* field) : QAccessibleWidget(field, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            if (const auto* label = qobject_cast<const QLabel*>(widget())) return label->text();
            if (const auto* group = qobject_cast<const QGroupBox*>(widget())) return group->title();
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* ValueFieldFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || !widget->property(kValueField).toBool()) return nullptr;
    return new ValueFieldAccessible(widget);
}

}  // namespace

void ExposeTextAsValue(QWidget* field) {
    static const bool installed = [] {
        QAccessible::installFactory(ValueFieldFactory);
        return true;
    }();
    (void)installed;
    field->setProperty(kValueField, true);
    // An interface made for the field before now (when its caption was set) gives way to ours.
    QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(field);
    if (existing != nullptr && dynamic_cast<ValueFieldAccessible*>(existing) == nullptr) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
    }
}

}  // namespace vexlo

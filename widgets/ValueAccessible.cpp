#include "widgets/ValueAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

namespace vexlo {
namespace {

constexpr const char* kValueField = "vexloValueField";
constexpr const char* kSpokenValue = "vexloSpokenValue";
constexpr const char* kNamedList = "vexloNamedList";

QString ValueOf(const QWidget* field) {
    if (const auto* label = qobject_cast<const QLabel*>(field)) return label->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(field)) return group->title();
    return field->property(kSpokenValue).toString();
}

class ValueFieldAccessible final : public QAccessibleWidget {
public:
    explicit ValueFieldAccessible(QWidget* field)
        : QAccessibleWidget(field, qobject_cast<QLabel*>(field) != nullptr || qobject_cast<QGroupBox*>(field) != nullptr
                                       ? QAccessible::StaticText
                                       : QAccessible::Indicator) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return ValueOf(widget());
        return QAccessibleWidget::text(kind);
    }
};

class NamedListAccessible final : public QAccessibleWidget {
public:
    explicit NamedListAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return List()->currentText();
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << showMenuAction(); }
    void doAction(const QString& action) override {
        if (action == showMenuAction()) {
            List()->showPopup();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* ValueFieldFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return nullptr;
    if (auto* list = qobject_cast<QComboBox*>(widget); list != nullptr && list->property(kNamedList).toBool()) {
        return new NamedListAccessible(list);
    }
    if (!widget->property(kValueField).toBool()) return nullptr;
    return new ValueFieldAccessible(widget);
}

void InstallFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(ValueFieldFactory);
        return true;
    }();
    (void)installed;
}

// An interface made for the widget before it was marked (when its caption was set) gives way to ours.
template <typename Ours>
void DropStockInterface(QWidget* widget) {
    QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(widget);
    if (existing != nullptr && dynamic_cast<Ours*>(existing) == nullptr) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
    }
}

}  // namespace

void ExposeTextAsValue(QWidget* field) {
    InstallFactory();
    field->setProperty(kValueField, true);
    DropStockInterface<ValueFieldAccessible>(field);
}

void NameByCaption(QComboBox* list) {
    InstallFactory();
    list->setProperty(kNamedList, true);
    DropStockInterface<NamedListAccessible>(list);
}

void SetSpokenValue(QWidget* field, const QString& words) {
    if (field->property(kSpokenValue).toString() == words) return;
    field->setProperty(kSpokenValue, words);
    AnnounceValue(field);
}

void AnnounceValue(QWidget* field) {
    QAccessibleValueChangeEvent event(field, ValueOf(field));
    QAccessible::updateAccessibility(&event);
}

}  // namespace vexlo

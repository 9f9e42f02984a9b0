#include "app/AboutDialog.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>

#include "app/VersionInfo.h"
#include "widgets/CaptionLabel.h"

namespace vexlo {
namespace {

// The logo at 89 x 31, drawn sharp at the screen's scale.
QPixmap Logo(qreal scale) {
    QPixmap picture(QSize(89, 31) * scale);
    picture.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/art/logo.svg"));
    QPainter painter(&picture);
    renderer.render(&painter);
    painter.end();
    picture.setDevicePixelRatio(scale);
    return picture;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), versionField(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Vexlo Modbus testeur"));
    auto* logo = new QLabel(this);
    logo->setPixmap(Logo(devicePixelRatioF()));
    logo->setAccessibleName(QStringLiteral("Logo"));
    versionField->setReadOnly(true);
    versionField->setAccessibleName(QStringLiteral("Version"));
    versionField->setText(QString::fromStdString(VersionText(VersionInfo())));
    versionField->setMinimumWidth(QFontMetrics(versionField->font()).horizontalAdvance(versionField->text()) + 16);
    auto* caption = new CaptionLabel(this);
    caption->setText(QStringLiteral("VEXLO"));
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(logo, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(versionField, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("VEXLO"), this), 1, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Copyright (C) 2026 Vexlo. All rights reserved."), this), 2, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Vexlo Test Systems, 12 Rue des Essais"), this), 3, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("00000 Ville d'Essai"), this), 4, 0, 1, 3);
    grid->addWidget(caption, 5, 0, 1, 3);
    grid->addWidget(exit, 6, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    setFixedSize(sizeHint());
}

QString AboutDialog::VersionFieldText() const { return versionField->text(); }

}  // namespace vexlo

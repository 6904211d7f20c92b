#include "FinishWidgets.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QSlider>

#include "SkinArt.h"
#include "TPNGButton.h"

Q_DECLARE_METATYPE(QListWidget*)

namespace melodrift::finishui {

TPNGButton* Button(QWidget* parent, int w, int h, const QString& caption, const QString& hint)
{
    auto* b = new TPNGButton(parent);
    b->SetPngImg(skin::ButtonStrip(w, h, 4, caption));
    b->SetHint(hint);
    return b;
}

QLabel* InfoLabel(QWidget* parent, int width)
{
    auto* l = new QLabel(parent);
    l->setFont(skin::SkinFont(12));
    l->setFixedSize(width, 18);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, skin::kInk);
    l->setPalette(pal);
    return l;
}

QSlider* VolumeSlider(QWidget* parent, const QString& hint)
{
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(0, 100);
    s->setFixedSize(90, 18);
    s->setToolTip(hint);
    return s;
}

QListWidget* StageList(QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setFont(skin::SkinFont(12));
    list->setUniformItemSizes(true);
    list->setDragEnabled(false);
    // The page takes the keys; a list given focus would select its first row by itself.
    list->setFocusPolicy(Qt::NoFocus);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    list->setStyleSheet(QStringLiteral("QListWidget{background:#FFFBF4;border:1px solid #C9A57E;color:#3C2B17}"
                                       "QListWidget::item:selected{background:#F6C06A;color:#3C2B17}"));
    return list;
}

QListWidgetItem* StageItem(const QString& text, const QColor& colour)
{
    QPixmap swatch(12, 12);
    swatch.fill(colour);
    QPainter p(&swatch);
    p.setPen(QColor(0x8A, 0x5A, 0x2B));
    p.drawRect(0, 0, 11, 11);
    p.end();
    auto* item = new QListWidgetItem(QIcon(swatch), text);
    item->setSizeHint(QSize(0, 20));
    return item;
}

QLabel* ListHeader(QWidget* parent, const QString& caption, QListWidget* list)
{
    auto* header = new QLabel(caption, parent);
    header->setFont(skin::SkinFont(12, true));
    header->setAlignment(Qt::AlignCenter);
    header->setStyleSheet(QStringLiteral("QLabel{background:#E8C89E;color:#3C2B17;border:1px solid #C9A57E}"));
    header->setProperty("listHeader", QVariant::fromValue(list));
    return header;
}

QPixmap DeletePicture(bool hover)
{
    QPixmap pm(36, 15);
    pm.fill(hover ? QColor(0xE3, 0x18, 0x13) : QColor(0xD9, 0xB8, 0x8F));
    QPainter p(&pm);
    p.setPen(hover ? Qt::white : QColor(0x3C, 0x2B, 0x17));
    p.setFont(skin::SkinFont(11));
    p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("移除"));
    return pm;
}

} // namespace melodrift::finishui

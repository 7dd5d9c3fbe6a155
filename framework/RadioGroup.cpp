#include "framework/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TQpRadioGroup::TQpRadioGroup(QWidget* parent) : QGroupBox(parent), m_group(new QButtonGroup(this))
{
    m_group->setExclusive(true);
    new QVBoxLayout(this);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        if (OnClick)
            OnClick(id);
    });
}

void TQpRadioGroup::SetItems(const QStringList& items)
{
    for (int i = 0; i < items.size(); ++i) {
        QRadioButton* item = Item(i);
        if (!item) {
            item = new QRadioButton(this);
            item->setObjectName(objectName() + QStringLiteral("Item%1").arg(i));
            m_group->addButton(item, i);
            layout()->addWidget(item);
        }
        item->setText(items[i]);
    }
}

int TQpRadioGroup::ItemIndex() const
{
    return m_group->checkedId();
}

void TQpRadioGroup::SetItemIndex(int index)
{
    if (QRadioButton* item = Item(index))
        item->setChecked(true);
}

QRadioButton* TQpRadioGroup::Item(int index) const
{
    return qobject_cast<QRadioButton*>(m_group->button(index));
}

int TQpRadioGroup::Count() const
{
    return static_cast<int>(m_group->buttons().size());
}

#pragma once
// A captioned group of radio buttons with one index; the group owns its buttons.

#include <QGroupBox>
#include <QStringList>
#include <functional>

class QButtonGroup;
class QRadioButton;

class TQpRadioGroup : public QGroupBox
{
public:
    explicit TQpRadioGroup(QWidget* parent = nullptr);

    void SetItems(const QStringList& items);
    int ItemIndex() const;
    // Checks the item without running OnClick.
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const;
    int Count() const;
    // A user's click that changed the index.
    std::function<void(int)> OnClick;

private:
    QButtonGroup* m_group;
};

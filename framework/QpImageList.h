#pragma once
// The toolbar images, addressed by index as menu items and buttons name them.

#include <QIcon>
#include <QSize>
#include <vector>

class TQpImageList
{
public:
    explicit TQpImageList(QSize size) : m_size(size) {}

    QSize ImageSize() const { return m_size; }
    int Add(const QIcon& icon);
    // Puts an image at a fixed index, growing the list with empty images as needed.
    void Set(int index, const QIcon& icon);
    QIcon Icon(int index) const;
    int Count() const { return static_cast<int>(m_icons.size()); }

private:
    QSize m_size;
    std::vector<QIcon> m_icons;
};

// The 24x24 list that the creation sequence makes the program's toolbar image list; null until then.
extern TQpImageList* ToolbarImageList;
